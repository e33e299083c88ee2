// The one tree removal of the tests: refuses roots, clears marks, reaches below MAX_PATH.
#include <gtest/gtest.h>

#include "TreeRemoval.h"

namespace purtest {
namespace {

TEST(TreeRemoval, RefusesAnEmptyPathAndEveryRoot) {
  struct Case {
    const wchar_t* path;
    bool refused;
  };
  const Case cases[] = {
      {L"", true},
      {L"C:", true},
      {L"C:\\", true},
      {L"c:/", true},
      {L"C:\\\\", true},
      {L"\\\\?\\C:\\", true},
      {L"\\\\server\\share", true},
      {L"\\\\server\\share\\", true},
      {L"\\\\?\\UNC\\server\\share\\", true},
      {L"C:\\users", false},
      {L"C:\\users\\x\\Temp\\tree\\", false},
      {L"\\\\server\\share\\folder", false},
      {L"\\\\?\\C:\\users\\x", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsRootOrEmpty(c.path), c.refused) << testing::PrintToString(std::wstring(c.path));
  }
}

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, buffer);
  return buffer;
}

void MakeFile(const std::wstring& path, DWORD attributes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));
}

TEST(TreeRemoval, RemovesMarkedEntriesAndChainsDeeperThanMaxPath) {
  struct Case {
    size_t depth;      // length of the deepest folder's path
    DWORD attributes;  // of every file and of the deepest folder
  };
  const Case cases[] = {
      {0, FILE_ATTRIBUTE_NORMAL},
      {0, FILE_ATTRIBUTE_READONLY},
      {0, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY},
      {311, FILE_ATTRIBUTE_READONLY},
      {400, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY},
  };
  int index = 0;
  for (const Case& c : cases) {
    const std::wstring root = TempFolder() + L"pur-removal-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(index++);
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    std::wstring deepest = root;
    while (deepest.size() < c.depth) {
      deepest += L"\\level" + std::wstring(48, L'd');
      ASSERT_TRUE(CreateDirectoryW(deepest.c_str(), nullptr)) << deepest.size();
    }
    MakeFile(root + L"\\top.tmp", c.attributes);
    MakeFile(deepest + L"\\bottom.tmp", c.attributes);
    if (deepest != root) {
      ASSERT_TRUE(SetFileAttributesW(deepest.c_str(), c.attributes));
    }

    EXPECT_TRUE(RemoveTree(root + L"\\")) << c.depth << " " << c.attributes;
    EXPECT_EQ(GetFileAttributesW(root.c_str()), INVALID_FILE_ATTRIBUTES) << c.depth << " " << c.attributes;
  }
}

}  // namespace
}  // namespace purtest
