// Names between the file system and the library's code page, in whichever code page the
// program runs: built into the UTF-8 test program and into the 1252 caller.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "EngineTestSupport.h"
#include "ExactNames.h"

namespace pur {
namespace {

using test::AddMask;
using test::Joined;
using test::NodeAt;
using test::SearchAt;
using test::TempTree;

// Names planted through the wide calls. Every reported path must name the very file that was
// listed: in code page 1252 the names it cannot hold exactly are skipped (never a best-fit
// twin, never a fullwidth backslash turned into a real one); in UTF-8 every name is exact.
TEST(ExactNames, OnlyExactNamesAreReported) {
  TempTree tree("unicode");
  tree.Dir("Documents");
  tree.Dir("Downloads");
  tree.File("Documents\\thesis.docx");
  const std::wstring wideRoot(tree.Root().begin(), tree.Root().end());
  const bool utf8 = GetACP() == CP_UTF8;
  const struct {
    const wchar_t* name;
    const char* exact;  // the UTF-8 form
    bool holdsIn1252;
  } planted[] = {
      {L"Downloads\\plain.tmp", "Downloads\\plain.tmp", true},
      {L"Downloads\\zloty.tmp", "Downloads\\zloty.tmp", true},
      {L"Downloads\\z\u0142oty.tmp", "Downloads\\z\xC5\x82oty.tmp", false},
      {L"Downloads\\\u00E9t\u00E9.tmp", "Downloads\\\xC3\xA9t\xC3\xA9.tmp", true},
      {L"Downloads\\\u65E5\u672C.tmp", "Downloads\\\xE6\x97\xA5\xE6\x9C\xAC.tmp", false},
      {L"Downloads\\~\uFF3C..\uFF3C..\uFF3CDocuments\uFF3Cthesis.docx",
       "Downloads\\~\xEF\xBC\xBC..\xEF\xBC\xBC..\xEF\xBC\xBC" "Documents\xEF\xBC\xBCthesis.docx", false},
  };
  for (const auto& p : planted) {
    HANDLE file = CreateFileW((wideRoot + p.name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << p.exact;
    CloseHandle(file);
  }
  TRAPosteDeTravail computer;
  TRADossier& downloads = NodeAt(computer, tree.Path("Downloads\\"));
  AddMask(downloads, "*.tmp", false);
  AddMask(downloads, "~*.*", false);
  StringList found = SearchAt(computer, tree);
  std::sort(found.begin(), found.end());
  StringList expected;
  for (const auto& p : planted) {
    if (utf8 || p.holdsIn1252) {
      expected.push_back(utf8 ? p.exact : std::string());
      if (!utf8) {  // the 1252 form of a name that holds there
        const int n = WideCharToMultiByte(1252, 0, p.name, -1, nullptr, 0, nullptr, nullptr);
        expected.back().resize(static_cast<size_t>(n - 1));
        WideCharToMultiByte(1252, 0, p.name, -1, expected.back().data(), n, nullptr, nullptr);
      }
    }
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected) << "code page " << GetACP() << ": " << Joined(found);
  for (const std::string& path : found) {
    EXPECT_EQ(path.find("Documents\\thesis"), std::string::npos) << "outside the folder: " << path;
  }
}

TEST(ExactNames, FilesBelowFoldersDeeperThanMaxPathAreFound) {
  TempTree tree("deep");
  std::string relative;
  while (tree.Root().size() + relative.size() <= 400) {
    relative += std::string(50, 'd') + std::to_string(relative.size()) + "\\";
    const std::string folder = tree.Path(relative);
    ASSERT_TRUE(CreateDirectoryW(std::wstring(folder.begin(), folder.end()).c_str(), nullptr));
  }
  const std::string file = tree.Path(relative + "bottom.tmp");
  HANDLE handle = CreateFileW(std::wstring(file.begin(), file.end()).c_str(), GENERIC_WRITE, 0,
                              nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  CloseHandle(handle);
  TRAPosteDeTravail computer;
  AddMask(NodeAt(computer, tree.Root()), "*.tmp", true);
  const StringList found = SearchAt(computer, tree);
  EXPECT_EQ(found, (StringList{relative + "bottom.tmp"})) << Joined(found);
}

// The one place where a listed name becomes part of a path refuses whatever would name
// another place or no file at all.
TEST(ExactNames, ListedNamesThatWouldNameAnotherPlaceAreRefused) {
  const bool utf8 = GetACP() == CP_UTF8;
  const struct {
    const wchar_t* name;
    bool accepted;
  } cases[] = {
      {L"a.tmp", true},          {L".", false},       {L"..", false},
      {L"a\\b.tmp", false},     {L"a/b.tmp", false}, {L"c:b.tmp", false},
      {L"a*.tmp", false},        {L"a?.tmp", false},  {L"", false},
      {L"bad\xD800.tmp", false}, {L"z\u0142oty.tmp", utf8},
      {L"~\uFF3C..\uFF3Cx.docx", utf8},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> name = ListedNameOf(c.name);
    EXPECT_EQ(name.has_value(), c.accepted) << "case " << (&c - cases) << " in code page " << GetACP();
    if (name) {
      EXPECT_EQ(name->find_first_of("\\/:*?"), std::string::npos) << *name;
    }
  }
}

}  // namespace
}  // namespace pur
