// Screenshot stages of the window components, for scripts/screenshots.d/components:
//   shot_components.exe SYNC_FOLDER
// For each stage (leds-off, leds-on, dialog, dialog-100k, dialog-100k-end, dialog-menu,
// dialog-ok-progress) it shows the
// windows, writes SYNC_FOLDER\<stage>.ready with the screen rectangles to take, and waits
// (at most 60 s) for SYNC_FOLDER\<stage>.done while it keeps its windows painted.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "DialogDriver.h"
#include "FileListReading.h"
#include "LumexLED.h"
#include "TestFiles.h"
#include "uFileList.h"

namespace {

constexpr int kMainClientWidth = 567;
constexpr int kMainClientHeight = 137;
constexpr auto kStageTimeout = std::chrono::seconds(60);

struct LedPlace {
  int left, top;
  pur::TLXLedClass shape;
  int angle;
  pur::TColor color;
};
// The three lamps of the main window.
constexpr LedPlace kLeds[] = {
    {119, 64, pur::TLXLedClass::lxlcHalfCircle, 1800, pur::kColorLime},
    {143, 64, pur::TLXLedClass::lxlcRect, 0, pur::kColorYellow},
    {165, 64, pur::TLXLedClass::lxlcHalfCircle, 0, pur::kColorRed},
};

void PumpFor(std::chrono::milliseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  MSG msg;
  while (std::chrono::steady_clock::now() < end) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
}

std::string RectText(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top);
}

// The smallest rectangle holding both windows.
std::string UnionText(HWND a, HWND b) {
  RECT ra{}, rb{}, both{};
  GetWindowRect(a, &ra);
  GetWindowRect(b, &rb);
  UnionRect(&both, &ra, &rb);
  return std::to_string(both.left) + " " + std::to_string(both.top) + " " +
         std::to_string(both.right - both.left) + " " + std::to_string(both.bottom - both.top);
}

HWND FindMenuOf(HWND dialog) {
  HWND found = nullptr;
  for (int tries = 0; tries < 300 && !found; ++tries) {
    EnumThreadWindows(GetWindowThreadProcessId(dialog, nullptr), [](HWND window, LPARAM param) -> BOOL {
      char name[32] = {};
      GetClassNameA(window, name, sizeof(name));
      if (std::string(name) != "#32768" || !IsWindowVisible(window)) return TRUE;
      *reinterpret_cast<HWND*>(param) = window;
      return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    if (!found) Sleep(10);
  }
  return found;
}

std::string ClientOrigin(HWND window) {
  POINT p{0, 0};
  ClientToScreen(window, &p);
  return std::to_string(p.x) + " " + std::to_string(p.y);
}

void WriteReady(const std::string& sync, const std::string& stage, const std::string& text) {
  const std::string tmp = sync + "\\" + stage + ".part";
  if (FILE* f = std::fopen(tmp.c_str(), "w")) {
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
  MoveFileA(tmp.c_str(), (sync + "\\" + stage + ".ready").c_str());
}

// Waits for the script's answer; `pump` keeps the windows of this thread painted.
bool WaitDone(const std::string& sync, const std::string& stage, bool pump) {
  const auto end = std::chrono::steady_clock::now() + kStageTimeout;
  while (std::chrono::steady_clock::now() < end) {
    if (purtest::Exists(sync + "\\" + stage + ".done")) return true;
    if (pump)
      PumpFor(std::chrono::milliseconds(50));
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

HWND CreateMainLike() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = &DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszClassName = "PurShotMain";
  RegisterClassA(&wc);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT frame{0, 0, kMainClientWidth, kMainClientHeight};
  AdjustWindowRect(&frame, style, FALSE);
  return CreateWindowExA(0, "PurShotMain", "Purgo for Windows", style, 40, 40,
                         frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

constexpr int kLargeRows = 100000;
constexpr int kLargeFilesAtEachEnd = 20;

// Real files at both ends of the sorted list, with sizes and attributes of every kind.
void AddFiles(purtest::TempDir& dir, const char* prefix, pur::StringList& list) {
  constexpr int64_t kSizes[] = {0, 999, 1536, 48640, 1023999, 5LL * 1024 * 1024 + 17,
                                3LL * 1024 * 1024 * 1024 + 5 * 1024 * 1024};
  constexpr const char* kKinds[] = {"doc", "tmp", "log", "bak", "old"};
  for (int i = 0; i < kLargeFilesAtEachEnd; ++i) {
    DWORD attributes = 0;
    if (i % 5 == 1) attributes |= FILE_ATTRIBUTE_HIDDEN;
    if (i % 7 == 3) attributes |= FILE_ATTRIBUTE_READONLY;
    if (i == 6) attributes |= FILE_ATTRIBUTE_SYSTEM;
    char leaf[64];
    std::snprintf(leaf, sizeof(leaf), "%s-fichier-%02d.%s", prefix, i, kKinds[i % 5]);
    list.push_back(dir.File(leaf, kSizes[i % 7], attributes));
  }
}

pur::StringList LargeList(purtest::TempDir& dir) {
  pur::StringList list;
  list.reserve(kLargeRows);
  AddFiles(dir, "aa", list);
  AddFiles(dir, "zz", list);
  const std::string gone = dir.Path() + "\\disparu\\";
  for (int i = static_cast<int>(list.size()); i < kLargeRows; ++i) {
    char leaf[32];
    std::snprintf(leaf, sizeof(leaf), "cache-%06d.tmp", i);
    list.push_back(gone + leaf);
  }
  std::shuffle(list.begin(), list.end(), std::mt19937(2024));
  return list;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: shot_components SYNC_FOLDER\n");
    return 2;
  }
  const std::string sync = argv[1];
  HWND main = CreateMainLike();
  if (main == nullptr) return 3;
  pur::TLumexLED* leds[3] = {};
  for (int i = 0; i < 3; ++i) {
    HWND window = pur::TLumexLED::Create(main, kLeds[i].left, kLeds[i].top);
    leds[i] = pur::TLumexLED::FromHandle(window);
    if (leds[i] == nullptr) return 4;
    pur::LumexLEDModel& lamp = leds[i]->Lamp();
    lamp.SetLedClass(kLeds[i].shape);
    lamp.SetAngle(kLeds[i].angle);
    lamp.SetLedPlasticColor(kLeds[i].color);
    lamp.SetLedWidth(20);
    lamp.SetLedHeight(10);
  }
  ShowWindow(main, SW_SHOW);
  UpdateWindow(main);
  PumpFor(std::chrono::milliseconds(500));

  // The area of the lamps in screen coordinates, for an enlarged view.
  const std::string ledArea = ClientOrigin(main) + " 111 58 84 26";
  WriteReady(sync, "leds-off", RectText(main) + "\n" + ledArea + "\n");
  if (!WaitDone(sync, "leds-off", true)) return 5;

  for (pur::TLumexLED* led : leds) led->Lamp().SetLedOn(true);
  PumpFor(std::chrono::milliseconds(500));
  WriteReady(sync, "leds-on", RectText(main) + "\n" + ledArea + "\n");
  if (!WaitDone(sync, "leds-on", true)) return 6;

  purtest::TempDir dir;
  pur::StringList list = {
      dir.File("rapport-2024.doc", 48640),
      dir.File("Thumbs.db", 15360, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
      dir.File("~WRL0001.tmp", 1536),
      dir.File("setup.log", 1023999),
      dir.File("copie (2).bak", 3LL * 1024 * 1024 * 1024 + 5 * 1024 * 1024),
      dir.File("ancien.old", 0, FILE_ATTRIBUTE_READONLY),
      dir.File("cache.dat", 999),
  };
  bool shown = false;
  {
    pur::test::DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
      shown = true;
      Sleep(500);  // let it paint
      WriteReady(sync, "dialog", RectText(dialog) + "\n");
      WaitDone(sync, "dialog", false);
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }, std::chrono::seconds(90));
    pur::ShowFileList(list, main);
    driver.Join();
  }
  if (!shown) return 7;

  // 100 000 rows: files of every kind at the top and at the bottom, and in between names
  // whose files are gone (no size, AHRS, unticked), handed over in no particular order.
  list = LargeList(dir);
  shown = false;
  {
    pur::test::DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
      shown = true;
      Sleep(500);
      WriteReady(sync, "dialog-100k", RectText(dialog) + "\n");
      WaitDone(sync, "dialog-100k", false);
      HWND rows = GetDlgItem(dialog, pur::kListViewFileId);
      const auto count = SendMessageA(rows, LVM_GETITEMCOUNT, 0, 0);
      SendMessageA(rows, LVM_ENSUREVISIBLE, static_cast<WPARAM>(count - 1), FALSE);
      // A few rows up, so that the last names whose files are gone show too.
      RECT row{};
      row.left = LVIR_BOUNDS;
      SendMessageA(rows, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
      SendMessageA(rows, LVM_SCROLL, 0, -(kLargeFilesAtEachEnd - 10) * (row.bottom - row.top));
      Sleep(500);
      WriteReady(sync, "dialog-100k-end", RectText(dialog) + "\n");
      WaitDone(sync, "dialog-100k-end", false);
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }, std::chrono::seconds(150));
    pur::ShowFileList(list, main);
    driver.Join();
  }
  if (!shown) return 8;

  // The "Toujours garder" menu open on the third row.
  list = {dir / "rapport-2024.doc", dir / "setup.log", dir / "cache.dat", dir / "~WRL0001.tmp"};
  pur::TReviewKeeping keeping;
  keeping.Record = [](const std::string&, std::string&) { return true; };
  shown = false;
  {
    pur::test::DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
      shown = true;
      Sleep(500);
      HWND rows = GetDlgItem(dialog, pur::kListViewFileId);
      RECT label{};
      label.left = LVIR_LABEL;
      SendMessageA(rows, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&label));
      const LPARAM at = MAKELPARAM(label.left + 60, (label.top + label.bottom) / 2);
      PostMessageA(rows, WM_RBUTTONDOWN, MK_RBUTTON, at);
      PostMessageA(rows, WM_RBUTTONUP, 0, at);
      HWND menu = FindMenuOf(dialog);
      if (menu != nullptr) {
        PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);  // the folder item highlighted
        Sleep(500);
        WriteReady(sync, "dialog-menu", UnionText(dialog, menu) + "\n");
        WaitDone(sync, "dialog-menu", false);
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
      }
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }, std::chrono::seconds(90));
    pur::ShowFileList(list, main, &keeping);
    driver.Join();
  }
  if (!shown) return 9;

  // OK waiting for a folder whose listing hangs: the progress left of the buttons.
  list = LargeList(dir);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  pur::SetFolderListerForTests([release](const std::wstring& folder) {
    if (folder.find(L"disparu") == std::wstring::npos) return pur::ListFolder(folder);
    WaitForSingleObject(release, 60000);
    return std::optional<std::vector<pur::TListedEntry>>();
  });
  dir.SubFolder("disparu");
  shown = false;
  {
    pur::test::DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
      shown = true;
      Sleep(300);
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      Sleep(700);
      WriteReady(sync, "dialog-ok-progress", RectText(dialog) + "\n");
      WaitDone(sync, "dialog-ok-progress", false);
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }, std::chrono::seconds(90));
    pur::ShowFileList(list, main);
    driver.Join();
  }
  pur::SetFolderListerForTests({});
  SetEvent(release);
  DestroyWindow(main);
  return shown ? 0 : 10;
}
