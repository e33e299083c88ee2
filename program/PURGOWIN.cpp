// The program's entry: splash screen while the main window is created, command line, then
// the event loop until the main window has closed.
#include <windows.h>

#include <commctrl.h>

#include "AboutDlg.h"
#include "OptionsDlg.h"
#include "SafeDllLoad.h"
#include "Splash.h"
#include "uUserMainPrgm.h"

namespace {

bool OpenOptionsBox(HWND parent) { return pur::OpenOptions(parent); }

void OpenAboutBox(HWND parent) {
  pur::TAboutDlg about;
  pur::SetMainFormAboutProperties(about);
  about.SetOwner(parent);
  about.Execute();
}

void InitControls() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS |
                   ICC_LISTVIEW_CLASSES | ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);
}

int RunEventLoop() {
  MSG message;
  BOOL got;
  while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  // Before anything loads a library: no DLL from the current folder or PATH.
  pur::RestrictDllSearch();
  InitControls();
  pur::TMainFormBoxes boxes;
  pur::ShowSplash(instance);
  boxes.OpenOptions = OpenOptionsBox;
  boxes.OpenAbout = OpenAboutBox;
  int result = 0;
  {
    pur::TUserMainForm form;
    if (!form.Create(instance, boxes)) {
      MessageBoxA(nullptr, pur::mainform::kNoMainWindow, pur::mainform::kCaption,
                  MB_OK | MB_ICONERROR);
      return 1;
    }
    pur::ReadCommandLine();
    form.SetAutoMode(pur::AutoMode());
    pur::HideSplash();
    form.Show(showCommand);
    result = RunEventLoop();
  }
  pur::FreeOptionsLibrary();
  return result;
}
