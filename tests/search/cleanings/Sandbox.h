// A fresh folder of the test's own inside the prefix's temporary folder, removed afterwards.
// Helpers to lay out files in it.
// They go through the wide calls, so that they also reach below folders deeper than MAX_PATH.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "TestFiles.h"
#include "TreeRemoval.h"

namespace sandbox {

using purtest::Exists;
using purtest::ReadBytes;
using purtest::Wide;

inline std::string PrefixTempFolder() {
  // Taken once, before any test points TMP elsewhere.
  static const std::string folder = [] {
    char buffer[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, buffer);
    return std::string(buffer);
  }();
  return folder;
}

inline std::string WriteBytes(const std::string& path, const std::string& bytes,
                             DWORD attributes = 0) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  if (!bytes.empty()) ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  if (attributes) SetFileAttributesW(Wide(path).c_str(), attributes);
  return path;
}

inline std::string WriteSized(const std::string& path, size_t size, DWORD attributes = 0) {
  return WriteBytes(path, std::string(size, 'x'), attributes);
}

// A sparse file of the given size: cheap on disk, whole size for every size query.
inline void WriteHuge(const std::string& path, int64_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  LARGE_INTEGER distance;
  distance.QuadPart = size;
  EXPECT_TRUE(SetFilePointerEx(file, distance, nullptr, FILE_BEGIN));
  EXPECT_TRUE(SetEndOfFile(file));
  CloseHandle(file);
}

inline DWORD Attributes(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()); }

inline void MakeFolder(const std::string& path, DWORD attributes = 0) {
  EXPECT_TRUE(CreateDirectoryW(Wide(path).c_str(), nullptr)) << path;
  if (attributes) SetFileAttributesW(Wide(path).c_str(), attributes);
}

// A chain of folders below `base` (ending with a backslash) until the path is longer than
// `length` characters; answers the deepest, with its final backslash.
inline std::string MakeDeepFolder(std::string base, size_t length) {
  for (int level = 0; base.size() <= length; ++level) {
    base += "level" + std::to_string(level) + std::string(48, 'd') + "\\";
    MakeFolder(base);
  }
  return base;
}

inline int CountEntries(const std::string& folder) {
  int count = 0;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return -1;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") ++count;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return count;
}

// Created in SetUp, removed in TearDown; Path() ends with a backslash.
class Folder {
 public:
  Folder() {
    static std::atomic<int> counter{0};
    path_ = PrefixTempFolder() + "pur-fileops-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount()) + "-" + std::to_string(counter++) + "\\";
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~Folder() { purtest::RemoveTree(path_); }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

}  // namespace sandbox
