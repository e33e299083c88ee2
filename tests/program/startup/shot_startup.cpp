// Shows the splash screen and the about box for scripts/screenshots.d/startup, one at a time.
// For each stage it writes SYNC\<stage>.ready holding the window's "x y w h" and waits for
// SYNC\<stage>.done from the script before going on.
//   shot_startup.exe SYNC_FOLDER
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "Splash.h"
#include "TestFiles.h"
#include "about.h"

namespace {

constexpr DWORD kStageTimeoutMs = 120000;
constexpr int kPictureSize = 72;

std::string g_sync;

void Announce(const std::string& stage, HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  std::string tmp = g_sync + "\\" + stage + ".tmp";
  if (FILE* f = std::fopen(tmp.c_str(), "w")) {
    std::fprintf(f, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    std::fclose(f);
  }
  MoveFileA(tmp.c_str(), (g_sync + "\\" + stage + ".ready").c_str());
}

// Keeps this thread's windows painted until the script has taken its picture.
bool PumpUntilDone(const std::string& stage) {
  const std::string done = g_sync + "\\" + stage + ".done";
  const DWORD start = GetTickCount();
  while (!purtest::Exists(done)) {
    if (GetTickCount() - start > kStageTimeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  return true;
}

bool WaitDone(const std::string& stage) {
  const std::string done = g_sync + "\\" + stage + ".done";
  const DWORD start = GetTickCount();
  while (!purtest::Exists(done)) {
    if (GetTickCount() - start > kStageTimeoutMs) return false;
    Sleep(50);
  }
  return true;
}

BOOL CALLBACK MatchBox(HWND window, LPARAM param) {
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (IsWindowVisible(window) && std::string(cls) == "#32770") {
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindBox(DWORD thread) {
  HWND found = nullptr;
  for (int i = 0; i < 400 && !found; ++i) {
    EnumThreadWindows(thread, &MatchBox, reinterpret_cast<LPARAM>(&found));
    if (!found) Sleep(25);
  }
  return found;
}

// Runs the about box on this thread; a helper thread announces it and presses OK when done.
bool ShowAboutStage(const std::string& stage, const char* comments, int32_t picture) {
  const DWORD self = GetCurrentThreadId();
  bool ok = false;
  std::thread helper([&] {
    HWND box = FindBox(self);
    if (!box) return;
    Sleep(300);  // let it paint
    Announce(stage, box);
    ok = WaitDone(stage);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  OpenChildAbout(nullptr, exe, comments, picture);
  helper.join();
  return ok;
}

// A small picture for the box: the program's icon on a light square.
HBITMAP MakePicture() {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, kPictureSize, kPictureSize);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, kPictureSize, kPictureSize};
  HBRUSH back = CreateSolidBrush(RGB(232, 240, 250));
  FillRect(dc, &all, back);
  DeleteObject(back);
  constexpr int kIcon = 48;
  auto icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON, kIcon, kIcon, 0));
  if (icon) {
    const int at = (kPictureSize - kIcon) / 2;
    DrawIconEx(dc, at, at, icon, kIcon, kIcon, 0, nullptr, DI_NORMAL);
    DestroyIcon(icon);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  g_sync = argv[1];

  pur::ShowSplash();
  HWND splash = pur::SplashWindow();
  if (!splash) return 3;
  Announce("splash", splash);
  if (!PumpUntilDone("splash")) return 4;
  pur::HideSplash();

  if (!ShowAboutStage("about", "Programme de recherche de fichiers", kAboutNoPicture)) return 5;
  HBITMAP picture = MakePicture();
  bool ok = ShowAboutStage("about-picture", "Programme de recherche de fichiers",
                           static_cast<int32_t>(reinterpret_cast<intptr_t>(picture)));
  DeleteObject(picture);
  return ok ? 0 : 6;
}
