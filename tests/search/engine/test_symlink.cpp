// A folder that is a symlink to its parent is listed as a reparse point and never entered.
// Run by symlink_case.sh: "make" lays the tree and prints its Windows and Unix paths, the
// script adds the link, then the test runs with PUR_SYMLINK_TREE set. Nothing is deleted here.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "EngineTestSupport.h"
#include "Thread_Algo.h"

namespace pur {
namespace {

using test::AddMask;
using test::Joined;
using test::NodeAt;
using test::Relative;

TEST(ReparsePoint, SymlinkToParentIsNotEntered) {
  const char* root = std::getenv("PUR_SYMLINK_TREE");
  if (root == nullptr || *root == '\0') GTEST_SKIP() << "run through symlink_case.sh";
  const std::string base = root;
  const DWORD attributes = GetFileAttributesA((base + "sub\\up").c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "the link is missing";
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT);

  TSyncWindow sync;
  TRAPosteDeTravail tree;
  TRADossier& node = NodeAt(tree, base);
  AddMask(node, "*.tmp", true);
  TPathList found;
  StringList errors;
  {
    TSearchThread thread(tree, found, kPriorityNormal, sync);
    thread.Errors = &errors;
    thread.Start();
    thread.WaitFor();
  }
  EXPECT_EQ(Relative(found, base), (StringList{"sub\\inner.tmp", "top.tmp"})) << Joined(found);
  EXPECT_TRUE(errors.empty()) << Joined(errors);
  ASSERT_EQ(node.Count(), 1);
  EXPECT_EQ(node.GetChild(0)->Count(), 0);  // "up" was not added
}

}  // namespace
}  // namespace pur

// "make": lays out the tree and prints "<windows path>\n<unix path>\n"; else runs the tests.
int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "make") == 0) {
    pur::test::TempTree tree("symlink");
    tree.Keep();
    tree.Dir("sub");
    tree.File("top.tmp");
    tree.File("sub\\inner.tmp");
    using UnixName = char*(__cdecl*)(const wchar_t*);
    FARPROC entry = GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    auto toUnix = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(entry));
    if (toUnix == nullptr) return 2;  // not under Wine
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, tree.Root().c_str(), -1, wide, MAX_PATH);
    const char* unixPath = toUnix(wide);
    if (unixPath == nullptr) return 3;
    std::printf("%s\n%s\n", tree.Root().c_str(), unixPath);
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
