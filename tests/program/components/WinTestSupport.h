// Helpers of the window tests: a driver that works a modal dialog of this process from a
// second thread and never lets it hang, and a window's text.
#pragma once

#include <windows.h>

#include "DialogDriver.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace pur::test {

inline std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}


}  // namespace pur::test
