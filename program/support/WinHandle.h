// Owners of kernel handles and windows.
#pragma once

#include <windows.h>

namespace pur {

class THandle {
 public:
  THandle() = default;
  explicit THandle(HANDLE handle) : Handle_(handle) {}
  ~THandle() { Reset(); }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return Handle_; }
  void Reset(HANDLE handle = nullptr) {
    if (Handle_) CloseHandle(Handle_);
    Handle_ = handle;
  }

 private:
  HANDLE Handle_ = nullptr;
};

class TWindowHandle {
 public:
  TWindowHandle() = default;
  explicit TWindowHandle(HWND window) : Window_(window) {}
  ~TWindowHandle() { Reset(); }
  TWindowHandle(const TWindowHandle&) = delete;
  TWindowHandle& operator=(const TWindowHandle&) = delete;
  HWND Get() const { return Window_; }
  void Reset(HWND window = nullptr) {
    if (Window_) DestroyWindow(Window_);
    Window_ = window;
  }

 private:
  HWND Window_ = nullptr;
};

}  // namespace pur
