#include "Splash.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "WindowBinding.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace pur {

namespace {

constexpr char kSplashClassName[] = "TSplashScr";

// The program-wide splash state: at most one screen, and the tick count it was shown at.
struct TSplashState {
  std::unique_ptr<TSplashScr> Screen;
  DWORD ShownAt = 0;
  bool AutoMode = false;
};

TSplashState& State() {
  static TSplashState state;
  return state;
}

HINSTANCE CodeModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

bool RegisterSplashClass(WNDPROC procedure) {
  WNDCLASSEXA cls{};
  cls.cbSize = sizeof cls;
  if (GetClassInfoExA(CodeModule(), kSplashClassName, &cls)) return true;
  cls.lpfnWndProc = procedure;
  cls.hInstance = CodeModule();
  cls.hCursor = LoadCursorA(nullptr, IDC_APPSTARTING);
  cls.lpszClassName = kSplashClassName;
  return RegisterClassExA(&cls) != 0;
}

// Dispatches every waiting message. False when a quit message was met: it is posted again
// for the event loop and the caller stops waiting.
bool DispatchWaitingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

}  // namespace

TSplashScr::TSplashScr(HINSTANCE module, HWND owner) {
  Bitmap_.Reset(static_cast<HBITMAP>(LoadImageA(module, kSplashResourceName, IMAGE_BITMAP, 0, 0, 0)));
  BITMAP info{};
  if (!Bitmap_ || !GetObjectA(Bitmap_.Get(), sizeof info, &info)) return;
  if (!RegisterSplashClass(&WindowProc)) return;
  Size_ = {info.bmWidth, std::abs(info.bmHeight)};
  const int left = (GetSystemMetrics(SM_CXSCREEN) - Size_.cx) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - Size_.cy) / 2;
  Window_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kSplashClassName, "", WS_POPUP, left,
                            top, Size_.cx, Size_.cy, owner, nullptr, CodeModule(), this);
}

TSplashScr::~TSplashScr() {
  // The window goes first (the bitmap member after this body): it paints with the bitmap.
  if (Window_) DestroyWindow(Window_);
}

LRESULT CALLBACK TSplashScr::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = BoundObject<TSplashScr>(window, message, lParam);
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the bitmap covers the whole window
    case WM_PAINT:
      if (self) {
        self->Paint(window);
        return 0;
      }
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void TSplashScr::Paint(HWND window) const {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (dc) {
    const TMemoryDC source(CreateCompatibleDC(dc));
    if (source) {
      const TSelection picture(source.Get(), Bitmap_.Get());
      BitBlt(dc, 0, 0, Size_.cx, Size_.cy, source.Get(), 0, 0, SRCCOPY);
    }
  }
  EndPaint(window, &paint);
}

void ShowSplash(HINSTANCE module) {
  TSplashState& state = State();
  if (state.Screen) return;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_APPSTARTING));
  auto screen = std::make_unique<TSplashScr>(module ? module : GetModuleHandleA(nullptr));
  if (!screen->Valid()) {
    SetCursor(previous);
    return;
  }
  ShowWindow(screen->Handle(), SW_SHOWNOACTIVATE);
  UpdateWindow(screen->Handle());
  state.Screen = std::move(screen);
  state.ShownAt = GetTickCount();
}

void HideSplash() {
  TSplashState& state = State();
  if (!state.Screen) return;
  for (;;) {
    // Unsigned difference: right across the tick count's wrap-around too.
    const DWORD elapsed = GetTickCount() - state.ShownAt;
    if (elapsed > kSplashMinimumMs) break;
    MsgWaitForMultipleObjectsEx(0, nullptr, kSplashMinimumMs + 1 - elapsed, QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    if (!DispatchWaitingMessages()) break;
  }
  ShowWindow(state.Screen->Handle(), SW_HIDE);
  state.Screen.reset();
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

HWND SplashWindow() {
  TSplashState& state = State();
  return state.Screen ? state.Screen->Handle() : nullptr;
}

void ReadCommandLine() {
  std::vector<std::string> parameters;
  for (int i = 1; i < __argc; ++i) parameters.emplace_back(__argv[i] ? __argv[i] : "");
  if (HasAutoModeSwitch(parameters)) State().AutoMode = true;
}

bool AutoMode() { return State().AutoMode; }

}  // namespace pur
