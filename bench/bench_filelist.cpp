// How long the file list dialog takes to come up with 10 000 and 100 000 rows: preparing
// the rows (size, attributes, sort), filling the list view, and the whole ShowFileList until
// the dialog shows. Prints the times and the 100 000 / 10 000 ratio of each (10 = linear).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "WinTestSupport.h"
#include "uFileList.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Names in random order; one in a hundred exists (small files in a fresh folder), the others
// lie in a folder that does not exist. Wine looks up a missing name in an existing folder by
// reading the whole folder, which would measure Wine rather than the dialog.
pur::StringList MakeNames(pur::test::TempDir& dir, int count) {
  pur::StringList names;
  names.reserve(static_cast<size_t>(count));
  const std::string absent = dir.Path() + "-absent\\";
  for (int i = 0; i < count; ++i) {
    char leaf[64];
    std::snprintf(leaf, sizeof(leaf), "%s%07d.tmp", (i % 3) ? "fichier" : "Cache", i);
    names.push_back(i % 100 == 0 ? dir.File(leaf, i % 5000) : absent + leaf);
  }
  std::shuffle(names.begin(), names.end(), std::mt19937(12345));
  return names;
}

struct Timing {
  double sort = 0;
  double rows = 0;
  double fill = 0;
  double dialog = 0;
};

double TimeFill(const std::vector<pur::FileRow>& rows) {
  HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 617, 241, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
  LVCOLUMNA column{};
  column.mask = LVCF_WIDTH;
  for (int c = 0; c < 3; ++c) {
    column.cx = 100;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
  }
  const auto start = Clock::now();
  pur::FillFileListView(list, rows);
  const double seconds = SecondsSince(start);
  DestroyWindow(list);
  return seconds;
}

double TimeDialog(const pur::StringList& names) {
  pur::StringList list = names;
  double shown = -1;
  const auto start = Clock::now();
  pur::test::DialogDriver driver(
      pur::kListFileCaption,
      [&](HWND dialog) {
        shown = SecondsSince(start);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      },
      std::chrono::minutes(10));
  pur::ShowFileList(list, nullptr);
  driver.Join();
  return shown;
}

Timing Measure(int count) {
  pur::test::TempDir dir;
  const pur::StringList names = MakeNames(dir, count);
  Timing t;
  pur::StringList sorted = names;
  auto start = Clock::now();
  std::stable_sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
    return lstrcmpA(a.c_str(), b.c_str()) < 0;
  });
  t.sort = SecondsSince(start);
  start = Clock::now();
  const std::vector<pur::FileRow> rows = pur::MakeFileRows(names);
  t.rows = SecondsSince(start);
  t.fill = TimeFill(rows);
  t.dialog = TimeDialog(names);
  return t;
}

}  // namespace

int main() {
  INITCOMMONCONTROLSEX init{};
  init.dwSize = sizeof(init);
  init.dwICC = ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&init);
  const Timing small = Measure(10000);
  const Timing large = Measure(100000);
  std::printf("file list, names sorted with lstrcmpA:               10000 %.3f s, 100000 %.3f s, ratio %.1f\n",
              small.sort, large.sort, large.sort / small.sort);
  std::printf("file list, rows prepared (size, attributes, sort): 10000 %.3f s, 100000 %.3f s, ratio %.1f\n",
              small.rows, large.rows, large.rows / small.rows);
  std::printf("file list, list view filled:                       10000 %.3f s, 100000 %.3f s, ratio %.1f\n",
              small.fill, large.fill, large.fill / small.fill);
  std::printf("file list, ShowFileList until the dialog shows:    10000 %.3f s, 100000 %.3f s, ratio %.1f\n",
              small.dialog, large.dialog, large.dialog / small.dialog);
  return (small.dialog < 0 || large.dialog < 0) ? 1 : 0;
}
