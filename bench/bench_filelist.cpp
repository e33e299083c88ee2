// How the file list dialog copes with 10 000, 100 000 and 1 000 000 rows: the time until
// its first rows can be read; the time OK takes when pressed as soon as the dialog shows (it
// settles the starting ticks still unread) and the longest the window then took to answer a
// message; the time the "Toujours garder" menu takes to untick the rows of a folder entry;
// and the heap ShowFileList takes at its peak per byte of the paths (the caller's list
// aside). Each figure is printed next to its goal.
//   bench_filelist [COUNT...]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "DialogDriver.h"
#include "HeapCount.h"
#include "PopupMenu.h"
#include "TestFiles.h"
#include "uFileList.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kShowGoal100k = 0.5;   // seconds, 100 000 rows
constexpr double kShowGoal1M = 3.0;     // seconds, 1 000 000 rows
constexpr double kMemoryGoal = 3.0;     // heap bytes per path byte
constexpr double kOkGoal = 5.0;         // seconds from OK to the answer, any count
constexpr double kAnswerGoal = 0.1;     // seconds, longest wait for the window while OK settles
constexpr double kUntickGoal = 0.2;     // seconds, the menu's untick of one folder

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Names in random order; one in a hundred exists (small files in a fresh folder), the others
// lie in a folder that does not exist. Wine looks up a missing name in an existing folder by
// reading the whole folder, which would measure Wine rather than the dialog.
pur::StringList MakeNames(purtest::TempDir& dir, int count) {
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

// Reads what the first page of the list shows: names, sizes, letters and ticks.
void ReadFirstPage(HWND dialog) {
  HWND list = GetDlgItem(dialog, pur::kListViewFileId);
  const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  const int page = static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
  for (int row = 0; row < std::min(count, page + 1); ++row) {
    for (int column = 0; column < 3; ++column) {
      char text[512] = {};
      LVITEMA item{};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = sizeof(text);
      SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
  }
}

// Sends the dialog an empty message until it is gone: the longest it took to answer.
double LongestAnswer(HWND dialog) {
  double longest = 0;
  while (IsWindow(dialog)) {
    const auto start = Clock::now();
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer);
    longest = std::max(longest, SecondsSince(start));
    Sleep(1);
  }
  return longest;
}

std::string Caption(HWND list, int row) {
  char text[512] = {};
  LVITEMA item{};
  item.pszText = text;
  item.cchTextMax = sizeof(text);
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

struct Figures {
  int rows = 0;
  double shown = -1;       // ShowFileList until the first page can be read
  double ok = -1;          // OK pressed as soon as the dialog shows, until ShowFileList returns
  double longest = -1;     // the longest the window took to answer meanwhile
  double untick = -1;      // the menu's folder entry recorded until the window answers again
  size_t unticked = 0;     // rows of that folder
  size_t accepted = 0;     // names OK returned
  size_t expected = 0;     // names that exist (the others are missing: AHRS, unticked)
  double memory = 0;       // peak heap of ShowFileList per path byte
};

Figures Measure(int count) {
  purtest::TempDir dir;
  const pur::StringList names = MakeNames(dir, count);
  Figures f;
  f.rows = count;
  size_t pathBytes = 0;
  for (const std::string& name : names) {
    pathBytes += name.size();
    if (GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES) ++f.expected;
  }

  pur::StringList list = names;
  const int64_t before = bench::MarkHeapPeak();
  auto start = Clock::now();
  {
    pur::test::DialogDriver driver(
        pur::kListFileCaption,
        [&](HWND dialog) {
          ReadFirstPage(dialog);
          f.shown = SecondsSince(start);
          PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        },
        std::chrono::minutes(10));
    pur::ShowFileList(list, nullptr);
    driver.Join();
  }
  f.memory = static_cast<double>(bench::PeakHeapBytes() - before) / static_cast<double>(pathBytes);

  list = names;
  Clock::time_point okPressed;
  {
    pur::test::DialogDriver driver(
        pur::kListFileCaption,
        [&](HWND dialog) {
          okPressed = Clock::now();
          PostMessageA(dialog, WM_COMMAND, IDOK, 0);
          f.longest = LongestAnswer(dialog);
        },
        std::chrono::minutes(10));
    pur::ShowFileList(list, nullptr);
    f.ok = SecondsSince(okPressed);
    driver.Join();
  }
  f.accepted = list.size();

  // The menu on a row of the folder that holds most names: its folder entry unticks them all.
  list = names;
  std::atomic<bool> recorded{false};
  Clock::time_point recordedAt;
  std::string folder;
  pur::TReviewKeeping keeping;
  keeping.Record = [&](const std::string& entry, std::string&) {
    folder = entry;
    recordedAt = Clock::now();
    recorded = true;
    return true;
  };
  {
    pur::test::DialogDriver driver(
        pur::kListFileCaption,
        [&](HWND dialog) {
          HWND rows = GetDlgItem(dialog, pur::kListViewFileId);
          const int last = static_cast<int>(SendMessageA(rows, LVM_GETITEMCOUNT, 0, 0)) - 1;
          const int row = Caption(rows, 0).find("-absent\\") != std::string::npos ? 0 : last;
          LVITEMA item{};
          item.stateMask = item.state = LVIS_FOCUSED | LVIS_SELECTED;
          SendMessageA(rows, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
          SendMessageA(rows, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
          Sleep(3000);  // the user looks at the list first: it has been grouped by folder
          PostMessageA(rows, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(rows), -1);
          if (HWND menu = purtest::WaitPopupMenu(dialog)) {
            PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
            while (!recorded && IsWindow(dialog)) Sleep(1);
            SendMessageA(dialog, WM_NULL, 0, 0);
            f.untick = SecondsSince(recordedAt);
          }
          PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        },
        std::chrono::minutes(10));
    pur::ShowFileList(list, nullptr, &keeping);
    driver.Join();
  }
  for (const std::string& name : names) f.unticked += name.rfind(folder, 0) == 0 ? 1 : 0;
  return f;
}

const char* Verdict(bool met) { return met ? "met" : "NOT MET"; }

}  // namespace

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX init{};
  init.dwSize = sizeof(init);
  init.dwICC = ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&init);
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {10000, 100000, 1000000};

  bool ok = true;
  for (const int count : counts) {
    const Figures f = Measure(count);
    ok = ok && f.shown >= 0 && f.accepted == f.expected;
    std::string goal = "no goal";
    if (count == 100000) goal = std::string("goal < 0.5 s, ") + Verdict(f.shown < kShowGoal100k);
    if (count == 1000000) goal = std::string("goal < 3 s, ") + Verdict(f.shown < kShowGoal1M);
    std::printf("file list, %7d rows: ShowFileList until the first rows show  %7.3f s  (%s)\n",
                count, f.shown, goal.c_str());
    std::printf("file list, %7d rows: OK pressed at once until the answer    %7.3f s  "
                "(goal <= 5 s, %s; %zu of %zu names ticked)\n",
                count, f.ok, Verdict(f.ok <= kOkGoal), f.accepted, f.expected);
    std::printf("file list, %7d rows: longest wait for the window during OK   %7.3f s  "
                "(goal < 0.1 s, %s)\n",
                count, f.longest, Verdict(f.longest >= 0 && f.longest < kAnswerGoal));
    std::printf("file list, %7d rows: menu's untick of a folder of %7zu rows %7.3f s  "
                "(goal < 0.2 s, %s)\n",
                count, f.unticked, f.untick, Verdict(f.untick >= 0 && f.untick < kUntickGoal));
    std::printf("file list, %7d rows: peak heap per path byte                %7.2f    "
                "(goal <= 3, %s)\n",
                count, f.memory, Verdict(f.memory <= kMemoryGoal));
    std::fflush(stdout);
  }
  return ok ? 0 : 1;
}
