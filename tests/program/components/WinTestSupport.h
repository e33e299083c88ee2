// Helpers of the window tests: a temporary folder of the test's own, and a driver that
// works a modal dialog of this process from a second thread and never lets it hang.
#pragma once

#include <windows.h>

#include "DialogDriver.h"
#include "TreeRemoval.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace pur::test {

// A fresh folder under the Wine prefix's temporary folder, emptied and removed at the end.
class TempDir {
 public:
  TempDir() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
      path_ = std::string(base) + "purcomp-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount() + attempt);
      if (CreateDirectoryA(path_.c_str(), nullptr)) return;
    }
    throw std::runtime_error("no temporary folder");
  }
  ~TempDir() { purtest::RemoveTree(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // A name inside the folder, which goes with the folder whether or not it exists.
  std::string Name(const std::string& leaf) const { return path_ + "\\" + leaf; }
  // Creates a file of `size` bytes (sparse beyond what is written) with the attributes.
  std::string File(const std::string& leaf, int64_t size, DWORD attributes = 0) {
    const std::string name = Name(leaf);
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + name);
    LARGE_INTEGER end{};
    end.QuadPart = size;
    SetFilePointerEx(h, end, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
    if (attributes != 0) SetFileAttributesA(name.c_str(), attributes);
    return name;
  }

 private:
  std::string path_;
};

inline std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}


}  // namespace pur::test
