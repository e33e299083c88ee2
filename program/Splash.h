// Start-up: the splash screen shown while the main window is created, and the command line.
#pragma once

#include <windows.h>

#include <cstdint>

#include "GdiOwners.h"

namespace pur {

// The splash screen stays at least this long, even when start-up is quicker.
constexpr uint32_t kSplashMinimumMs = 900;
// The program's bitmap resource shown by the splash screen.
constexpr char kSplashResourceName[] = "SPLASHSCREEN";

// A borderless, topmost window centred on the screen, the size of its bitmap, which it paints.
class TSplashScr {
 public:
  // Loads the bitmap from `module`'s resources; `owner` may be null.
  explicit TSplashScr(HINSTANCE module, HWND owner = nullptr);
  ~TSplashScr();
  TSplashScr(const TSplashScr&) = delete;
  TSplashScr& operator=(const TSplashScr&) = delete;

  // False when the bitmap could not be loaded or the window not created.
  bool Valid() const { return Window_ != nullptr; }
  HWND Handle() const { return Window_; }
  SIZE Size() const { return Size_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Paint(HWND window) const;

  TBitmap Bitmap_;
  SIZE Size_{};
  HWND Window_ = nullptr;
};

// Shows the splash screen of `module` (default: the program) unless one is shown, and paints
// it at once. Without a usable bitmap nothing is shown and start-up goes on.
void ShowSplash(HINSTANCE module = nullptr);

// Keeps the splash screen until kSplashMinimumMs have passed since it was shown, dispatching
// the thread's messages meanwhile without spinning the processor, then removes it. A quit
// message that arrives meanwhile ends the wait and stays queued for the event loop.
void HideSplash();

// The splash screen's window while it is shown, else null.
HWND SplashWindow();

// Sets AutoMode when one of the program's parameters is "/S" in either case.
void ReadCommandLine();
// The automatic mode: one cleaning run by itself after start-up. False until ReadCommandLine.
bool AutoMode();

}  // namespace pur
