// The temporary-folder cleaning and the deletion of found files, on a sandbox of the prefix.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "Cleanings.h"
#include "Sandbox.h"
#include "uDiskUtils.h"

namespace {

constexpr int64_t kFiveGiB = 5LL * 1024 * 1024 * 1024;

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string WindowsFolder() {
  char buffer[MAX_PATH] = {};
  GetWindowsDirectoryA(buffer, MAX_PATH);
  return buffer;
}

std::string SystemFolder() {
  char buffer[MAX_PATH] = {};
  GetSystemDirectoryA(buffer, MAX_PATH);
  return buffer;
}

std::string ShellFolder(int csidl) {
  char buffer[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  return buffer;
}

// Points TMP and TEMP at a folder of the test's own, and back afterwards.
class TempEnvironment {
 public:
  explicit TempEnvironment(const std::string& folder) {
    SetEnvironmentVariableA("TMP", folder.c_str());
    SetEnvironmentVariableA("TEMP", folder.c_str());
  }
  ~TempEnvironment() {
    SetEnvironmentVariableA("TMP", sandbox::PrefixTempFolder().c_str());
    SetEnvironmentVariableA("TEMP", sandbox::PrefixTempFolder().c_str());
  }
};

// Hidden files, hidden and nested folders; the hidden folder's content is not measured.
int64_t FillTempFolder(const std::string& tmp) {
  sandbox::WriteSized(tmp + "a.txt", 100);
  sandbox::WriteSized(tmp + ".dotfile", 10);
  sandbox::WriteSized(tmp + "hid.txt", 20, FILE_ATTRIBUTE_HIDDEN);
  sandbox::MakeFolder(tmp + "sub");
  sandbox::WriteSized(tmp + "sub\\b.bin", 1000);
  sandbox::MakeFolder(tmp + "sub\\deeper");
  sandbox::WriteSized(tmp + "sub\\deeper\\c.dat", 5);
  sandbox::MakeFolder(tmp + "hiddendir", FILE_ATTRIBUTE_HIDDEN);
  sandbox::WriteSized(tmp + "hiddendir\\x.txt", 7);
  return 100 + 10 + 20 + 1000 + 5;
}

TEST(TempFolderGain, IsWholeThenSaturatedAndNeverNegative) {
  const struct { int64_t before, after, gain; int32_t exported; } cases[] = {
      {1135, 0, 1135, 1135},
      {10, 20, 0, 0},
      {kFiveGiB, 0, kFiveGiB, 2147483647},
      {kFiveGiB + 10, kFiveGiB, 10, 10},
      {2147483647, 0, 2147483647, 2147483647},
      {2147483648LL, 0, 2147483648LL, 2147483647},
      {0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    pur::TTempCleaning cleaning;
    cleaning.Before = c.before;
    cleaning.After = c.after;
    EXPECT_EQ(cleaning.Gain(), c.gain) << c.before << " - " << c.after;
    EXPECT_EQ(cleaning.ExportedGain(), c.exported) << c.before << " - " << c.after;
  }
}

TEST(TempFolderFromReported, CompletesAndUpperCases) {
  EXPECT_EQ(pur::TempFolderFromReported("c:\\Users\\bob\\Temp"), "C:\\USERS\\BOB\\TEMP\\");
  EXPECT_EQ(pur::TempFolderFromReported("d"), "D:\\");
  EXPECT_EQ(pur::TempFolderFromReported("C:\\témp\\"), "C:\\TéMP\\");
  EXPECT_EQ(pur::TempFolderFromReported(""), "");
}

TEST(CleanTempFolder, EmptiesItAndReportsTheGain) {
  sandbox::Folder box;
  const std::string tmp = box / "tmp\\";
  sandbox::MakeFolder(tmp);
  const int64_t measured = FillTempFolder(tmp);
  sandbox::WriteBytes(box / "beside.txt", "keep me");
  TempEnvironment environment(tmp);

  const pur::TTempCleaning cleaning = pur::CleanUserTempFolder();

  EXPECT_FALSE(cleaning.Refused()) << cleaning.Refusal;
  EXPECT_EQ(cleaning.Folder, Upper(tmp));
  EXPECT_EQ(cleaning.Before, measured);
  EXPECT_EQ(cleaning.After, 0);
  EXPECT_EQ(cleaning.Gain(), measured);
  EXPECT_EQ(cleaning.ExportedGain(), measured);
  EXPECT_EQ(sandbox::CountEntries(tmp), 0) << "hidden files and folders go too";
  EXPECT_EQ(sandbox::ReadBytes(box / "beside.txt"), "keep me");
}

// The shell builds its paths in MAX_PATH buffers; Wine's, on overflow, deleted the content of
// the current directory instead. The deep part goes through the wide calls first.
TEST(CleanTempFolder, ATreeDeeperThanMaxPathNeverLeadsTheShellElsewhere) {
  sandbox::Folder box;
  const std::string tmp = box / "tmp\\";
  sandbox::MakeFolder(tmp);
  sandbox::MakeFolder(tmp + "deep");
  const std::string deep = sandbox::MakeDeepFolder(tmp + "deep\\", 400);
  sandbox::WriteSized(deep + "bottom.txt", 10, FILE_ATTRIBUTE_HIDDEN);
  sandbox::WriteSized(tmp + "deep\\top.txt", 20);
  sandbox::WriteSized(tmp + "plain.txt", 30);
  const std::string canary = box / "current\\";
  sandbox::MakeFolder(canary);
  sandbox::WriteBytes(canary + "canary.txt", "stay");
  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(canary.c_str()));
  pur::TTempCleaning cleaning;
  {
    TempEnvironment environment(tmp);
    cleaning = pur::CleanUserTempFolder();
  }
  SetCurrentDirectoryA(previous);

  EXPECT_EQ(sandbox::ReadBytes(canary + "canary.txt"), "stay");
  EXPECT_FALSE(cleaning.Refused()) << cleaning.Refusal;
  EXPECT_EQ(cleaning.Before, 60);
  EXPECT_EQ(cleaning.After, 0);
  EXPECT_EQ(sandbox::CountEntries(tmp), 0);
}

TEST(CleanTempFolder, WithoutFinalBackslashEmptiesTheSameFolder) {
  sandbox::Folder box;
  const std::string tmp = box / "tmp\\";
  sandbox::MakeFolder(tmp);
  sandbox::WriteSized(tmp + "f", 64);
  sandbox::WriteSized(box / "tmpf", 3);
  const pur::TTempCleaning cleaning = pur::CleanTempFolder(box / "tmp");
  EXPECT_EQ(cleaning.Gain(), 64) << cleaning.Refusal;
  EXPECT_EQ(sandbox::CountEntries(tmp), 0);
  EXPECT_TRUE(sandbox::Exists(box / "tmpf"));
}

TEST(CleanTempFolder, RefusesUnsafeFoldersAndDeletesNothing) {
  sandbox::Folder box;
  sandbox::MakeFolder(box / "relative");
  sandbox::MakeFolder(box / "relative\\dir");
  sandbox::WriteSized(box / "relative\\dir\\keep.txt", 11);
  sandbox::WriteSized(box / "afile", 12);
  sandbox::WriteSized(box / "canary", 13);
  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(box.Path().c_str()));
  const std::string cases[] = {"", "relative\\dir", "relative\\dir\\", ".\\", "\\",
                               box / "missing\\", box / "afile", "Q:\\"};
  for (const std::string& folder : cases) {
    const pur::TTempCleaning cleaning = pur::CleanTempFolder(folder);
    EXPECT_TRUE(cleaning.Refused()) << "'" << folder << "'";
    EXPECT_EQ(cleaning.Refusal.rfind("Nettoyage du dossier temporaire refusé : ", 0), 0u)
        << cleaning.Refusal;
    EXPECT_EQ(cleaning.Gain(), 0) << folder;
    EXPECT_EQ(cleaning.ExportedGain(), 0) << folder;
  }
  SetCurrentDirectoryA(previous);
  EXPECT_TRUE(sandbox::Exists(box / "relative\\dir\\keep.txt"));
  EXPECT_TRUE(sandbox::Exists(box / "afile"));
  EXPECT_TRUE(sandbox::Exists(box / "canary"));
}

TEST(TempFolderRefusal, GuardsDriveRootsAndSystemFolders) {
  sandbox::Folder box;
  const std::string profile = ShellFolder(CSIDL_PROFILE);
  const std::string programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
  ASSERT_FALSE(profile.empty());
  const std::string refused[] = {
      "C:\\",
      "Z:\\",
      Upper(pur::CompletePath(WindowsFolder())),
      pur::CompletePath(WindowsFolder()),
      Upper(pur::CompletePath(SystemFolder())),
      WindowsFolder() + "\\SYSTEM32\\..\\",
      Upper(pur::CompletePath(profile)),
      Upper(pur::CompletePath(programFiles)),
      Upper(profile.substr(0, profile.rfind('\\') + 1)),  // holds every profile
  };
  for (const std::string& folder : refused) {
    EXPECT_NE(pur::TempFolderRefusal(folder), "") << folder;
  }
  EXPECT_EQ(pur::TempFolderRefusal(Upper(box.Path())), "");
  EXPECT_EQ(pur::TempFolderRefusal(box.Path()), "");
  EXPECT_EQ(pur::TempFolderRefusal(Upper(sandbox::PrefixTempFolder())), "");
}

TEST(CleanTempFolder, RefusesTheWindowsAndProfileFoldersFromTheEnvironment) {
  const std::string windows = WindowsFolder();
  const std::string profile = ShellFolder(CSIDL_PROFILE);
  // Never let a broken check reach the deletion below.
  ASSERT_NE(pur::TempFolderRefusal(Upper(pur::CompletePath(windows))), "");
  ASSERT_NE(pur::TempFolderRefusal(Upper(pur::CompletePath(profile))), "");
  const int windowsEntries = sandbox::CountEntries(pur::CompletePath(windows));
  for (const std::string& folder : {windows, profile}) {
    TempEnvironment environment(folder);
    const pur::TTempCleaning cleaning = pur::CleanUserTempFolder();
    EXPECT_TRUE(cleaning.Refused()) << folder;
    EXPECT_EQ(cleaning.Before, 0);
    EXPECT_EQ(cleaning.ExportedGain(), 0);
  }
  EXPECT_EQ(sandbox::CountEntries(pur::CompletePath(windows)), windowsEntries);
}

struct DeleteCase {
  const char* name;
  size_t size;
  DWORD attributes;
  bool allowReadOnlyHidden;
  int32_t result;
  bool gone;
  DWORD attributesAfter;  // when the file stays
};

TEST(DeleteFoundFile, FollowsTheAttributeRules) {
  const DeleteCase cases[] = {
      {"normal.txt", 123, 0, false, 123, true, 0},
      {"empty.txt", 0, 0, false, 0, true, 0},
      {"system.txt", 10, FILE_ATTRIBUTE_SYSTEM, true, 0, false, FILE_ATTRIBUTE_SYSTEM},
      {"readonly-kept.txt", 30, FILE_ATTRIBUTE_READONLY, false, 0, false, FILE_ATTRIBUTE_READONLY},
      {"readonly.txt", 31, FILE_ATTRIBUTE_READONLY, true, 31, true, 0},
      {"hidden-kept.txt", 40, FILE_ATTRIBUTE_HIDDEN, false, 0, false, FILE_ATTRIBUTE_HIDDEN},
      {"hidden.txt", 41, FILE_ATTRIBUTE_HIDDEN, true, 41, true, 0},
      {"both.txt", 50, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, true, 50, true, 0},
  };
  sandbox::Folder box;
  for (const DeleteCase& c : cases) {
    const std::string path = box / c.name;
    sandbox::WriteSized(path, c.size, c.attributes);
    EXPECT_EQ(pur::DeleteFoundFile(path, false, c.allowReadOnlyHidden), c.result) << c.name;
    EXPECT_EQ(!sandbox::Exists(path), c.gone) << c.name;
    if (!c.gone) {
      const DWORD kept = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
      EXPECT_EQ(sandbox::Attributes(path) & kept, c.attributesAfter) << c.name;
    }
  }
}

TEST(DeleteFoundFile, ReachesFilesBelowFoldersDeeperThanMaxPath) {
  sandbox::Folder box;
  const std::string deep = sandbox::MakeDeepFolder(box.Path(), 400);
  sandbox::WriteSized(deep + "plain.tmp", 25);
  sandbox::WriteSized(deep + "readonly.tmp", 26, FILE_ATTRIBUTE_READONLY);
  sandbox::WriteSized(deep + "kept.tmp", 27, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(pur::DeleteFoundFile(deep + "plain.tmp", false, false), 25);
  EXPECT_EQ(pur::DeleteFoundFile(deep + "readonly.tmp", false, true), 26);
  EXPECT_EQ(pur::DeleteFoundFile(deep + "kept.tmp", false, false), 0);
  EXPECT_FALSE(sandbox::Exists(deep + "plain.tmp"));
  EXPECT_FALSE(sandbox::Exists(deep + "readonly.tmp"));
  EXPECT_TRUE(sandbox::Exists(deep + "kept.tmp"));
  EXPECT_EQ(pur::FolderSize(box.Path()), 27);
}

TEST(DeleteFoundFile, RefusesMissingPathsAndFolders) {
  sandbox::Folder box;
  sandbox::MakeFolder(box / "folder");
  sandbox::WriteSized(box / "folder\\inside", 5);
  EXPECT_EQ(pur::DeleteFoundFile(box / "missing.txt", false, true), 0);
  EXPECT_EQ(pur::DeleteFoundFile(box / "missing.txt", true, true), 0);
  EXPECT_EQ(pur::DeleteFoundFile(box / "folder", false, true), 0);
  EXPECT_EQ(pur::DeleteFoundFile(box / "folder", true, true), 0);
  EXPECT_EQ(pur::DeleteFoundFile(box / "*.*", true, true), 0);
  EXPECT_TRUE(sandbox::Exists(box / "folder\\inside"));
}

TEST(DeleteFoundFile, ClearsReadOnlyAndHiddenEvenWhenTheDeletionFails) {
  sandbox::Folder box;
  const std::string path = box / "held.txt";
  sandbox::WriteSized(path, 20,
                      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(pur::DeleteFoundFile(path, false, true), 0);
  CloseHandle(holder);
  ASSERT_TRUE(sandbox::Exists(path));
  const DWORD after = sandbox::Attributes(path);
  EXPECT_EQ(after & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u) << std::hex << after;
  EXPECT_NE(after & FILE_ATTRIBUTE_ARCHIVE, 0u) << std::hex << after;
}

TEST(DeleteFoundFile, AnswersHugeSizesSaturated) {
  sandbox::Folder box;
  sandbox::WriteHuge(box / "huge.bin", kFiveGiB);
  EXPECT_EQ(pur::DeleteFoundFile(box / "huge.bin", false, false), 2147483647);
  EXPECT_FALSE(sandbox::Exists(box / "huge.bin"));
}

}  // namespace
