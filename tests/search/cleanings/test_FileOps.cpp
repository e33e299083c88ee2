// Paths, sizes and shell operation records, on real files in a sandbox of the prefix.
#include <gtest/gtest.h>

#include <cstring>

#include "Cleanings.h"
#include "ProtectedFolders.h"
#include "Sandbox.h"
#include "uDiskUtils.h"
#include "uSHFileOP.h"
#include "uShellAct.h"
#include "uWindows.h"

namespace {

using pur::TFileOperation;
using pur::TShellOption;
using pur::TShellOptions;

constexpr int64_t kFiveGiB = 5LL * 1024 * 1024 * 1024;

TEST(CompletePath, AddsTheFinalBackslash) {
  const struct { const char* in; const char* out; } cases[] = {
      {"C", "C:\\"},          {"d", "d:\\"},         {"C:\\Temp", "C:\\Temp\\"},
      {"C:\\Temp\\", "C:\\Temp\\"}, {"", ""},        {"1", "1\\"},
      {"\\", "\\"},           {"ab", "ab\\"},        {"É", "É\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(pur::CompletePath(c.in), c.out) << "'" << c.in << "'";
}

TEST(ToShellList, SplitsAtSemicolonsAndBars) {
  const struct { const char* in; std::vector<char> out; } cases[] = {
      {"a;b", {'a', 0, 'b', 0, 0}},
      {"a|b;c", {'a', 0, 'b', 0, 'c', 0, 0}},
      {"C:\\x.txt", {'C', ':', '\\', 'x', '.', 't', 'x', 't', 0, 0}},
      {";", {0, 0, 0}},
  };
  for (const auto& c : cases) {
    const auto list = pur::ToShellList(c.in);
    ASSERT_TRUE(list.has_value()) << c.in;
    EXPECT_EQ(*list, c.out) << c.in;
  }
  EXPECT_FALSE(pur::ToShellList("").has_value());
}

TEST(ShellFlags, EachOptionAddsItsFlag) {
  const struct { TShellOption option; FILEOP_FLAGS flag; } cases[] = {
      {TShellOption::AllowUndo, 0x40},      {TShellOption::ConfirmMouse, 0x02},
      {TShellOption::FilesOnly, 0x80},      {TShellOption::MultiDestFiles, 0x01},
      {TShellOption::NoConfirmation, 0x10}, {TShellOption::NoConfirmMkDir, 0x200},
      {TShellOption::RenameOnCollision, 0x08}, {TShellOption::Silent, 0x04},
      {TShellOption::SimpleProgress, 0x100}, {TShellOption::WantMappingHandle, 0x20},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pur::ShellFlags(TShellOptions{c.option}), c.flag) << static_cast<int>(c.option);
  }
  EXPECT_EQ(pur::ShellFlags({}), 0);
  EXPECT_EQ(pur::ShellFlags(pur::kTempFolderDeleteOptions), 0x14);
  EXPECT_EQ(pur::ShellFlags(pur::kRecycleDeleteOptions), 0xD4);
}

TEST(ShellFunction, MapsTheFourOperations) {
  EXPECT_EQ(pur::ShellFunction(TFileOperation::Copy), 2u);
  EXPECT_EQ(pur::ShellFunction(TFileOperation::Delete), 3u);
  EXPECT_EQ(pur::ShellFunction(TFileOperation::Move), 1u);
  EXPECT_EQ(pur::ShellFunction(TFileOperation::Rename), 4u);
}

TEST(RecycleBinFlags, AlwaysWithoutConfirmation) {
  EXPECT_EQ(pur::RecycleBinFlags(true, true), 1u);
  EXPECT_EQ(pur::RecycleBinFlags(false, true), 3u);
  EXPECT_EQ(pur::RecycleBinFlags(true, false), 5u);
  EXPECT_EQ(pur::RecycleBinFlags(false, false), 7u);
}

TEST(ShellFileOperation, CopiesAndDeletesNameLists) {
  sandbox::Folder box;
  sandbox::WriteBytes(box / "a.txt", "alpha");
  sandbox::WriteBytes(box / "b.txt", "beta");
  sandbox::MakeFolder(box / "out");
  pur::TShellFileOp copy;
  copy.Operation = TFileOperation::Copy;
  copy.Source = box / "a.txt" + ";" + box / "b.txt";
  copy.Destination = box / "out";
  copy.Options = {TShellOption::NoConfirmation, TShellOption::Silent};
  EXPECT_EQ(pur::ShellFileOperation(copy), 0);
  EXPECT_EQ(sandbox::ReadBytes(box / "out\\a.txt"), "alpha");
  EXPECT_EQ(sandbox::ReadBytes(box / "out\\b.txt"), "beta");

  pur::TShellFileOp remove;
  remove.Operation = TFileOperation::Delete;
  remove.Source = box / "out\\a.txt" + "|" + box / "out\\b.txt";
  remove.Options = pur::kTempFolderDeleteOptions;
  EXPECT_EQ(pur::ShellFileOperation(remove), 0);
  EXPECT_EQ(sandbox::CountEntries(box / "out\\"), 0);
  EXPECT_TRUE(sandbox::Exists(box / "a.txt"));
}

TEST(FolderSize, CountsFilesBelowExceptInHiddenFolders) {
  sandbox::Folder box;
  sandbox::MakeFolder(box / "empty");
  sandbox::MakeFolder(box / "onlyhidden");
  sandbox::MakeFolder(box / "onlyhidden\\secret", FILE_ATTRIBUTE_HIDDEN);
  sandbox::WriteSized(box / "onlyhidden\\secret\\f", 500);
  sandbox::MakeFolder(box / "hiddenfile");
  sandbox::WriteSized(box / "hiddenfile\\h", 10, FILE_ATTRIBUTE_HIDDEN);
  sandbox::MakeFolder(box / "tree");
  sandbox::WriteSized(box / "tree\\a", 100, FILE_ATTRIBUTE_READONLY);
  sandbox::WriteSized(box / "tree\\s", 3, FILE_ATTRIBUTE_SYSTEM);
  sandbox::MakeFolder(box / "tree\\sub");
  sandbox::WriteSized(box / "tree\\sub\\b", 1000);
  sandbox::MakeFolder(box / "tree\\sub\\deeper");
  sandbox::WriteSized(box / "tree\\sub\\deeper\\c", 7);
  sandbox::MakeFolder(box / "tree\\sys", FILE_ATTRIBUTE_SYSTEM);
  sandbox::WriteSized(box / "tree\\sys\\d", 9);
  const struct { std::string folder; int64_t size; } cases[] = {
      {box / "empty", 0},          {box / "empty\\", 0},
      {box / "onlyhidden", 0},     {box / "hiddenfile\\", 10},
      {box / "tree", 1110},        {box / "tree\\", 1110},
      {box / "missing", 0},        {box / "tree\\sub", 1007},
  };
  for (const auto& c : cases) EXPECT_EQ(pur::FolderSize(c.folder), c.size) << c.folder;
}

TEST(Sizes, AreTakenWholeAbove4GiB) {
  sandbox::Folder box;
  sandbox::MakeFolder(box / "big");
  sandbox::WriteHuge(box / "big\\huge.bin", kFiveGiB);
  sandbox::WriteSized(box / "big\\small", 5);
  EXPECT_EQ(pur::FileSizeOf(box / "big\\huge.bin"), kFiveGiB);
  EXPECT_EQ(pur::FolderSize(box / "big"), kFiveGiB + 5);
}

TEST(FileSizeOf, IsZeroWhenTheFileCannotBeOpened) {
  sandbox::Folder box;
  sandbox::WriteSized(box / "plain", 42);
  sandbox::WriteSized(box / "readonly", 43, FILE_ATTRIBUTE_READONLY);
  sandbox::WriteSized(box / "locked", 44);
  EXPECT_EQ(pur::FileSizeOf(box / "plain"), 42);
  EXPECT_EQ(pur::FileSizeOf(box / "readonly"), 43);
  EXPECT_EQ(pur::FileSizeOf(box / "missing"), 0);
  EXPECT_EQ(pur::FileSizeOf(box.Path()), 0);

  HANDLE holder = CreateFileA((box / "locked").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(pur::FileSizeOf(box / "locked"), 0);
  CloseHandle(holder);
  EXPECT_EQ(pur::FileSizeOf(box / "locked"), 44);

  // Another writer does not keep the size from being read.
  HANDLE writer = CreateFileA((box / "plain").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(pur::FileSizeOf(box / "plain"), 42);
  CloseHandle(writer);
}

TEST(GetTempFolder, FollowsTheEnvironment) {
  sandbox::Folder box;
  const std::string original = sandbox::PrefixTempFolder();
  const std::string folder = box / "tmp";
  sandbox::MakeFolder(folder);
  ASSERT_TRUE(SetEnvironmentVariableA("TMP", folder.c_str()));
  EXPECT_EQ(pur::GetTempFolder(), folder + "\\");
  SetEnvironmentVariableA("TMP", original.c_str());
  EXPECT_EQ(pur::GetTempFolder(), original);
}

TEST(ProtectedFolders, NameTheSystemFolders) {
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  const auto folders = pur::ProtectedFolders();
  EXPECT_NE(std::find(folders.begin(), folders.end(), std::string(windows)), folders.end());
  EXPECT_GE(folders.size(), 4u);
}

TEST(ProtectedFolders, AFolderHoldingOneIsKnownUnderAnyOfItsNames) {
  char windows[MAX_PATH] = {}, profile[MAX_PATH] = {}, programs[MAX_PATH] = {}, shortPrograms[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  ASSERT_GT(GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH), 0u);
  ASSERT_GT(GetEnvironmentVariableA("ProgramFiles", programs, MAX_PATH), 0u);
  ASSERT_GT(GetShortPathNameA(programs, shortPrograms, MAX_PATH), 0u);
  const std::string profileParent = std::string(profile).substr(0, std::string(profile).rfind('\\'));
  sandbox::Folder box;
  struct Case {
    std::string folder;
    bool holds;
  } cases[] = {
      {windows, true},
      {std::string(windows) + "\\", true},
      {std::string(1, windows[0]) + ":\\", true},  // the drive holds them all
      {profileParent, true},
      {shortPrograms, true},                          // another name, the same folder
      {std::string(windows) + "\\..\\" + (std::strrchr(windows, '\\') + 1), true},
      {std::string(windows).substr(0, std::string(windows).size() - 1), false},  // a prefix of a name
      {box.Path(), false},
      {std::string(windows) + "\\Temp", false},
  };
  ASSERT_NE(std::string(shortPrograms), std::string(programs)) << "no short name to test with";
  for (const Case& c : cases) EXPECT_EQ(pur::HoldsProtectedFolder(c.folder), c.holds) << c.folder;
}

}  // namespace

namespace {

// Run by its own ctest entry under a Japanese user (ANSI code page 932), where 0x95 0x5C is
// one character whose second byte looks like a backslash.
TEST(DoubleByteCodePage, ATrailByteIsNeverTakenForABackslash) {
  if (GetEnvironmentVariableA("PUR_EXPECT_CP932", nullptr, 0) == 0) {
    GTEST_SKIP() << "run by the code page 932 ctest entry only";
  }
  ASSERT_EQ(GetACP(), 932u);
  const std::string hyou = "\x95\x5C";    // ends in 0x5C
  const std::string katakanaA = "\x83\x61";  // ends in 'a'
  EXPECT_EQ(pur::CompletePath("C:\\" + hyou), "C:\\" + hyou + "\\");
  EXPECT_EQ(pur::CompletePath("C:\\" + hyou + "\\"), "C:\\" + hyou + "\\");
  EXPECT_EQ(pur::TempFolderFromReported("c:\\" + katakanaA), "C:\\" + katakanaA + "\\");

  sandbox::Folder box;
  sandbox::MakeFolder(box / hyou);
  sandbox::WriteSized(box / (hyou + "\\f"), 21);
  EXPECT_EQ(pur::FolderSize(box / hyou), 21);
  EXPECT_EQ(pur::FolderSize(box / (hyou + "\\")), 21);
}

}  // namespace
