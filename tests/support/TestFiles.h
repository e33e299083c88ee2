// Files for the tests: the wide form of a path, a whole file read back, whether a path exists,
// and a fresh temporary folder of the test's own. Paths are in the process's ANSI code page
// (UTF-8 in every test program but those marked to run in the system's code page); files go
// through the wide calls, so that they also reach below folders deeper than MAX_PATH.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "TreeRemoval.h"

namespace purtest {

inline std::wstring Wide(const std::string& path) {
  const int length = static_cast<int>(path.size());
  std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, path.data(), length, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), length, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

// Every byte of the file, also while another process writes it; empty when it cannot be opened.
inline std::string ReadBytes(const std::string& path) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

inline bool Exists(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A fresh folder under the prefix's temporary folder; it and everything in it go at the end.
// Path() has no trailing backslash.
class TempDir {
 public:
  TempDir() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
      path_ = std::string(base) + "purtest-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount() + attempt);
      if (CreateDirectoryW(Wide(path_).c_str(), nullptr)) return;
    }
    throw std::runtime_error("no temporary folder");
  }
  ~TempDir() { RemoveTree(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // A name inside the folder, which goes with the folder whether or not it exists.
  std::string operator/(const std::string& leaf) const { return path_ + "\\" + leaf; }
  std::string SubFolder(const std::string& leaf) const {
    const std::string folder = *this / leaf;
    CreateDirectoryW(Wide(folder).c_str(), nullptr);
    return folder;
  }
  // Creates a file of `size` bytes (sparse beyond what is written) with the attributes.
  std::string File(const std::string& leaf, int64_t size, DWORD attributes = 0) const {
    const std::string name = *this / leaf;
    HANDLE file = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + name);
    LARGE_INTEGER end{};
    end.QuadPart = size;
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    if (attributes != 0) SetFileAttributesW(Wide(name).c_str(), attributes);
    return name;
  }

 private:
  std::string path_;
};

}  // namespace purtest
