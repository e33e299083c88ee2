// A fresh folder of the test's own inside the prefix's temporary folder, removed afterwards.
// Helpers to lay out files in it. Nothing here follows links: trees hold plain files only.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace sandbox {

inline std::string PrefixTempFolder() {
  // Taken once, before any test points TMP elsewhere.
  static const std::string folder = [] {
    char buffer[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, buffer);
    return std::string(buffer);
  }();
  return folder;
}

inline void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      const bool plainFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                               !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
      if (plainFolder) {
        RemoveTree(path + "\\");
      } else if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

inline std::string WriteBytes(const std::string& path, const std::string& bytes,
                             DWORD attributes = 0) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  if (!bytes.empty()) ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  if (attributes) SetFileAttributesA(path.c_str(), attributes);
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

inline std::string ReadBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

inline bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

inline void MakeFolder(const std::string& path, DWORD attributes = 0) {
  EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
  if (attributes) SetFileAttributesA(path.c_str(), attributes);
}

inline int CountEntries(const std::string& folder) {
  int count = 0;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return -1;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") ++count;
  } while (FindNextFileA(find, &data));
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
  ~Folder() { RemoveTree(path_); }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

}  // namespace sandbox
