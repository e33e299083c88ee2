// The shared file helpers of the tests: what they read, what they find, and the temporary
// folder that must leave nothing behind.
#include <gtest/gtest.h>

#include <string>

#include "TestFiles.h"

namespace purtest {
namespace {

void Write(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// Test programs run in UTF-8 unless marked otherwise; this one is not marked.
TEST(TestFiles, WideFollowsTheProcessCodePage) {
  EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
  EXPECT_EQ(Wide(""), L"");
  EXPECT_EQ(Wide("C:\\d\xC3\xA9j\xC3\xA0\\\xE2\x82\xAC.tmp"), L"C:\\d\u00E9j\u00E0\\\u20AC.tmp");
}

TEST(TestFiles, ReadBytesGivesEveryByte) {
  const TempDir dir;
  // More than one read's buffer, with NULs and line ends kept as they are.
  std::string bytes(10000, 'x');
  bytes[0] = '\0';
  bytes[4096] = '\r';
  bytes[4097] = '\n';
  bytes.back() = '\0';
  Write(dir / "bytes.bin", bytes);
  EXPECT_EQ(ReadBytes(dir / "bytes.bin"), bytes);
  Write(dir / "empty.bin", "");
  EXPECT_EQ(ReadBytes(dir / "empty.bin"), "");
}

TEST(TestFiles, ReadBytesOfWhatCannotBeOpenedIsEmpty) {
  const TempDir dir;
  EXPECT_EQ(ReadBytes(dir / "missing.txt"), "");
  EXPECT_EQ(ReadBytes(dir.Path()), "");  // a folder
}

// A journal is read while the process that writes it may still hold it open.
TEST(TestFiles, ReadBytesWhileAnotherHandleWrites) {
  const TempDir dir;
  const std::string path = dir / "journal.log";
  HANDLE writer = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(writer, "line\r\n", 6, &written, nullptr);
  EXPECT_EQ(ReadBytes(path), "line\r\n");
  CloseHandle(writer);
}

TEST(TestFiles, ExistsForFilesAndFoldersOnly) {
  const TempDir dir;
  struct Case {
    std::string path;
    bool exists;
  } const cases[] = {
      {dir.Path(), true},
      {dir.SubFolder("sub"), true},
      {dir.File("f.tmp", 1), true},
      {dir.File("h\xC3\xA9.tmp", 0, FILE_ATTRIBUTE_HIDDEN), true},
      {dir / "missing.tmp", false},
      {dir / "sub\\missing\\deeper.tmp", false},
  };
  for (const Case& c : cases) EXPECT_EQ(Exists(c.path), c.exists) << c.path;
}

TEST(TempDir, EachIsFreshAndGoesWithAllItHolds) {
  std::string first;
  std::string second;
  {
    const TempDir one;
    const TempDir two;
    first = one.Path();
    second = two.Path();
    EXPECT_NE(first, second);
    EXPECT_NE(first.back(), '\\');
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    EXPECT_EQ(first.rfind(temp, 0), 0u) << first << " is not in " << temp;
    one.SubFolder("sub");
    one.File("sub\\inner.tmp", 10, FILE_ATTRIBUTE_READONLY);
    one.File("hidden.tmp", 0, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  }
  EXPECT_FALSE(Exists(first));
  EXPECT_FALSE(Exists(second));
}

TEST(TempDir, FilesHaveTheirSizeAndAttributes) {
  const TempDir dir;
  struct Case {
    const char* leaf;
    int64_t size;
    DWORD attributes;
  } const cases[] = {
      {"empty", 0, 0},
      {"small.txt", 1536, 0},
      {"big.bin", 5LL * 1024 * 1024 * 1024 + 7, 0},  // sparse
      {"ro.dat", 10, FILE_ATTRIBUTE_READONLY},
      {"hs.dat", 3, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
  };
  for (const Case& c : cases) {
    const std::string name = dir.File(c.leaf, c.size, c.attributes);
    EXPECT_EQ(name, dir.Path() + "\\" + c.leaf);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(Wide(name).c_str(), GetFileExInfoStandard, &data)) << name;
    const int64_t size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    EXPECT_EQ(size, c.size) << c.leaf;
    const DWORD kinds = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    EXPECT_EQ(data.dwFileAttributes & kinds, c.attributes) << c.leaf;
  }
}

}  // namespace
}  // namespace purtest
