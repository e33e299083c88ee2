// The popup menu that a window's thread shows (TrackPopupMenu), found from any thread or
// process: a visible "#32768" window of that thread.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

namespace purtest {

inline HWND WaitPopupMenu(HWND owner, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const DWORD thread = GetWindowThreadProcessId(owner, nullptr);
  const auto end = std::chrono::steady_clock::now() + limit;
  while (true) {
    HWND found = nullptr;
    EnumThreadWindows(thread, [](HWND window, LPARAM param) -> BOOL {
      char name[32] = {};
      GetClassNameA(window, name, sizeof name);
      if (std::string(name) != "#32768" || !IsWindowVisible(window)) return TRUE;
      *reinterpret_cast<HWND*>(param) = window;
      return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    if (found || std::chrono::steady_clock::now() >= end) return found;
    Sleep(10);
  }
}

}  // namespace purtest
