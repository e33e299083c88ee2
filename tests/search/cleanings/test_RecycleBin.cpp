// Deletion into the Recycle Bin and its emptying, seen in the prefix's Trash. Runs only
// when HOME and XDG_DATA_HOME lie inside the build tree, so no real Trash is ever touched.
#include <gtest/gtest.h>

#include "BuildTreeTrash.h"
#include "Cleanings.h"
#include "Sandbox.h"

namespace {

using purtest::Environment;
using purtest::TrashFiles;
using purtest::UnixHome;


std::string UniqueName(const char* stem) {
  static int counter = 0;
  return std::string(stem) + "-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(GetTickCount()) + "-" + std::to_string(counter++) + ".txt";
}

class RecycleBin : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!purtest::TrashIsSandboxed()) {
      GTEST_SKIP() << "HOME (" << UnixHome() << ") or XDG_DATA_HOME ("
                   << Environment("XDG_DATA_HOME") << ") is outside " << PUR_BUILD_DIR;
    }
  }
  sandbox::Folder box_;
};

TEST_F(RecycleBin, DeletedFileGoesToTheTrash) {
  const struct { DWORD attributes; bool allow; size_t size; int32_t result; } cases[] = {
      {0, false, 77, 77},
      {FILE_ATTRIBUTE_READONLY, true, 78, 78},
      {FILE_ATTRIBUTE_HIDDEN, true, 79, 79},
      {FILE_ATTRIBUTE_READONLY, false, 80, 0},
      {FILE_ATTRIBUTE_SYSTEM, true, 81, 0},
  };
  for (const auto& c : cases) {
    const std::string name = UniqueName("pur-recycled");
    const std::string path = box_ / name;
    sandbox::WriteSized(path, c.size, c.attributes);
    EXPECT_EQ(pur::DeleteFoundFile(path, true, c.allow), c.result) << name;
    const bool deleted = c.result != 0;
    EXPECT_EQ(sandbox::Exists(path), !deleted) << name;
    EXPECT_EQ(sandbox::Exists(TrashFiles() + name), deleted) << TrashFiles() + name;
    if (deleted) {
      EXPECT_EQ(sandbox::ReadBytes(TrashFiles() + name), std::string(c.size, 'x'));
    }
  }
}

TEST_F(RecycleBin, AFileBelowAFolderDeeperThanMaxPathGoesToTheTrash) {
  const std::string deep = sandbox::MakeDeepFolder(box_.Path(), 400);
  const std::string name = UniqueName("pur-deep");
  sandbox::WriteSized(deep + name, 33);
  EXPECT_EQ(pur::DeleteFoundFile(deep + name, true, false), 33);
  EXPECT_FALSE(sandbox::Exists(deep + name));
  EXPECT_EQ(sandbox::ReadBytes(TrashFiles() + name), std::string(33, 'x'));
}

TEST_F(RecycleBin, SemicolonInANameDoesNotReachOtherFiles) {
  // Split at ';', "<box>\pur;<rest>" would also name "<box>\pur" and "<rest>" in the
  // current folder.
  const std::string rest = UniqueName("semi");
  sandbox::WriteSized(box_ / ("pur;" + rest), 12);
  sandbox::WriteSized(box_ / "pur", 13);
  sandbox::MakeFolder(box_ / "cwd");
  sandbox::WriteSized(box_ / ("cwd\\" + rest), 14);
  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA((box_ / "cwd").c_str()));
  EXPECT_EQ(pur::DeleteFoundFile(box_ / ("pur;" + rest), true, false), 12);
  SetCurrentDirectoryA(previous);
  EXPECT_FALSE(sandbox::Exists(box_ / ("pur;" + rest)));
  EXPECT_TRUE(sandbox::Exists(TrashFiles() + "pur;" + rest));
  EXPECT_TRUE(sandbox::Exists(box_ / "pur"));
  EXPECT_TRUE(sandbox::Exists(box_ / ("cwd\\" + rest)));
}

TEST_F(RecycleBin, EmptyingRemovesWhatWasRecycled) {
  const std::string name = UniqueName("pur-emptied");
  sandbox::WriteSized(box_ / name, 90);
  ASSERT_EQ(pur::DeleteFoundFile(box_ / name, true, false), 90);
  ASSERT_TRUE(sandbox::Exists(TrashFiles() + name));
  pur::EmptyAllRecycleBins();
  EXPECT_FALSE(sandbox::Exists(TrashFiles() + name));
}

}  // namespace
