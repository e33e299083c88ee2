// Helpers of the window tests: a temporary folder of the test's own, and a driver that
// works a modal dialog of this process from a second thread and never lets it hang.
#pragma once

#include <windows.h>

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
  ~TempDir() {
    for (const std::string& file : files_) {
      SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(file.c_str());
    }
    RemoveDirectoryA(path_.c_str());
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // A name inside the folder that the folder will clean up, whether or not it exists.
  std::string Name(const std::string& leaf) {
    files_.push_back(path_ + "\\" + leaf);
    return files_.back();
  }
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
  std::vector<std::string> files_;
};

inline std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

struct WindowSearch {
  const std::string* caption;
  bool visibleOnly;
  HWND found;
};

inline BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<WindowSearch*>(param);
  if ((!s->visibleOnly || IsWindowVisible(window)) && WindowText(window) == *s->caption) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}

// Finds a (visible) top-level window of the thread with the given caption.
inline HWND FindThreadWindow(DWORD threadId, const std::string& caption,
                             bool visibleOnly = true) {
  WindowSearch search{&caption, visibleOnly, nullptr};
  EnumThreadWindows(threadId, &MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Waits on a second thread for the dialog of the calling thread, runs `drive` on it and
// makes sure it closes: when `drive` leaves it open, or it never shows, the driver records
// the failure and cancels it after the time-out.
class DialogDriver {
 public:
  using Drive = std::function<void(HWND dialog)>;

  DialogDriver(const std::string& caption, Drive drive,
               std::chrono::milliseconds timeout = std::chrono::seconds(20))
      : owner_(GetCurrentThreadId()) {
    thread_ = std::thread([this, caption, drive, timeout] { Run(caption, drive, timeout); });
  }
  ~DialogDriver() { Join(); }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  bool Found() const { return found_; }
  bool ClosedByWatchdog() const { return watchdog_; }

 private:
  void Run(const std::string& caption, const Drive& drive, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    HWND dialog = nullptr;
    while (!dialog && std::chrono::steady_clock::now() < deadline) {
      dialog = FindThreadWindow(owner_, caption);
      if (!dialog) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!dialog) {
      // Never shown: cancel whatever of it exists so that the caller cannot hang.
      dialog = FindThreadWindow(owner_, caption, false);
      if (dialog) {
        watchdog_ = true;
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      }
      return;
    }
    found_ = true;
    drive(dialog);
    while (IsWindow(dialog) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (IsWindow(dialog)) {
      watchdog_ = true;
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
  }

  DWORD owner_;
  std::atomic<bool> found_{false};
  std::atomic<bool> watchdog_{false};
  std::thread thread_;
};

}  // namespace pur::test
