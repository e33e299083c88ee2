// The object behind a window, kept in the window's user data.
#pragma once

#include <windows.h>

namespace pur {

void BindWindowObject(HWND window, void* object);

template <class T>
T* WindowObject(HWND window) {
  return reinterpret_cast<T*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Binds CreateWindowEx's last parameter at WM_NCCREATE and answers it for that and every later
// message; nullptr for the few messages that come before (WM_GETMINMAXINFO).
template <class T>
T* BoundObject(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE)
    BindWindowObject(window, reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
  return WindowObject<T>(window);
}

}  // namespace pur
