// Drives a modal dialog of the test's own thread from a second thread: finds it by its
// caption, runs the test's steps on it, and cancels it after a time-out so no test hangs.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace pur::test {

inline std::string CaptionOf(HWND window) {
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
  if ((!s->visibleOnly || IsWindowVisible(window)) && CaptionOf(window) == *s->caption) {
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
