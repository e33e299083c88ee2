// The file list dialog driven by messages under Wine: rows, sizes, attribute letters,
// initial ticks, OK with an untick, Cancel, Escape, Enter and the close box; placement; OK
// settling the ticks not yet read by listing folders with the window answering, also when a
// listing hangs; the "Toujours garder" menu.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DialogDriver.h"
#include "FileListReading.h"
#include "PopupMenu.h"
#include "TestFiles.h"
#include "UnixLinks.h"
#include "uFileList.h"

namespace {

using pur::StringList;
using pur::test::DialogDriver;
using purtest::TempDir;

struct SeenRow {
  std::string caption, size, attributes;
  bool ticked;
};

struct SeenDialog {
  std::string caption;
  RECT client{};
  std::vector<std::string> buttons;
  std::vector<std::string> columns;
  std::vector<int> columnWidths;
  RECT listPlace{};
  std::vector<SeenRow> rows;
  bool checkBoxes = false;
  bool editable = true;
};

std::string ItemText(HWND list, int index, int column) {
  char text[1024] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof(text);
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  return text;
}

bool Ticked(HWND list, int index) {
  return (SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_STATEIMAGEMASK) >>
          12) == 2;
}

void SetTick(HWND list, int index, bool on) {
  LVITEMA item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(on ? 2 : 1);
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

HWND ListOf(HWND dialog) { return GetDlgItem(dialog, pur::kListViewFileId); }

// Rows are read on a thread once the list view asks for them: waits until rows [first, last)
// show their size and letters.
bool WaitRowsRead(HWND list, int first, int last) {
  for (int tries = 0; tries < 1000; ++tries) {
    bool all = true;
    for (int i = first; i < last && all; ++i) all = !ItemText(list, i, 1).empty() && !ItemText(list, i, 2).empty();
    if (all) return true;
    Sleep(10);
  }
  return false;
}

SeenDialog Read(HWND dialog) {
  SeenDialog seen;
  seen.caption = pur::test::CaptionOf(dialog);
  GetClientRect(dialog, &seen.client);
  for (const int id : {pur::kButtonOkId, pur::kButtonCancelId, pur::kButtonHelpId})
    seen.buttons.push_back(pur::test::CaptionOf(GetDlgItem(dialog, id)));
  HWND list = ListOf(dialog);
  GetWindowRect(list, &seen.listPlace);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&seen.listPlace), 2);
  for (int c = 0; c < 3; ++c) {
    char title[128] = {};
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = title;
    column.cchTextMax = sizeof(title);
    SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    seen.columns.push_back(title);
    seen.columnWidths.push_back(column.cx);
  }
  seen.checkBoxes =
      (SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES) != 0;
  seen.editable = (GetWindowLongA(list, GWL_STYLE) & LVS_EDITLABELS) != 0;
  const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  EXPECT_TRUE(WaitRowsRead(list, 0, count));
  for (int i = 0; i < count; ++i)
    seen.rows.push_back({ItemText(list, i, 0), ItemText(list, i, 1), ItemText(list, i, 2),
                         Ticked(list, i)});
  return seen;
}

// Files of every kind of row, passed in an order that is not the dialog's.
struct Fixture {
  TempDir dir;
  std::string beta, alpha, readOnly, hidden, system, big, missing, kilo;
  StringList names;
  Fixture() {
    beta = dir.File("Beta.txt", 1536);
    alpha = dir.File("alpha.txt", 999);
    readOnly = dir.File("ro.dat", 10, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    hidden = dir.File("hid.dat", 0, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    system = dir.File("sys.dat", 1023999, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    big = dir.File("gros.bin", 5LL * 1024 * 1024 * 1024 + 7);
    kilo = dir.File("k.bin", 1000);
    missing = dir / "zz-missing.txt";
    names = {missing, system, beta, big, hidden, alpha, readOnly, kilo};
  }
  static std::string Leaf(const std::string& name) { return name.substr(name.rfind('\\') + 1); }
};

TEST(FileListDialog, ShowsRowsSortedWithSizesLettersAndTicks) {
  Fixture f;
  const std::string archive = pur::FileAttrLetters(f.alpha);  // what the platform gives a new file
  SeenDialog seen;
  StringList list = f.names;
  {
    DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
      seen = Read(dialog);
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    pur::ShowFileList(list, nullptr);
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_FALSE(driver.ClosedByWatchdog());
  }
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(seen.caption, "Liste de fichiers");
  EXPECT_EQ(seen.client.right, 632);
  EXPECT_EQ(seen.client.bottom, 286);
  EXPECT_EQ(seen.buttons, (std::vector<std::string>{"&Ok", "&Annuler", "&Aide"}));
  EXPECT_EQ(seen.columns,
            (std::vector<std::string>{"Nom du fichier", "Taille du fichier", "Attribut du fichier"}));
  EXPECT_EQ(seen.columnWidths, (std::vector<int>{425, 100, 88}));
  EXPECT_EQ(seen.listPlace.left, 8);
  EXPECT_EQ(seen.listPlace.top, 8);
  EXPECT_EQ(seen.listPlace.right - seen.listPlace.left, 617);
  EXPECT_EQ(seen.listPlace.bottom - seen.listPlace.top, 241);
  EXPECT_TRUE(seen.checkBoxes);
  EXPECT_FALSE(seen.editable);

  // lstrcmpA order: "alpha" before "Beta" (byte order would put "Beta" first).
  const std::vector<SeenRow> expected = {
      {f.alpha, "999.00 octet(s)", archive, true},
      {f.beta, "1.50 Ko", archive, true},
      {f.big, "5.00 Go", archive, true},  // taken whole, not as 32 bits
      {f.hidden, "0.00 octet(s)", "AH", false},
      {f.kilo, "0.98 Ko", archive, true},
      {f.readOnly, "10.00 octet(s)", "AR", false},
      {f.system, "1000.00 Ko", "AS", false},
      {f.missing, "0.00 octet(s)", "AHRS", false},
  };
  ASSERT_EQ(seen.rows.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(seen.rows[i].caption, expected[i].caption) << "row " << i;
    EXPECT_EQ(seen.rows[i].size, expected[i].size) << Fixture::Leaf(expected[i].caption);
    EXPECT_EQ(seen.rows[i].attributes, expected[i].attributes) << Fixture::Leaf(expected[i].caption);
    EXPECT_EQ(seen.rows[i].ticked, expected[i].ticked) << Fixture::Leaf(expected[i].caption);
  }
}

// How each case closes the dialog, and what the list holds afterwards.
struct CloseCase {
  const char* name;
  void (*close)(HWND dialog);
  bool accepted;
};

const CloseCase kCloseCases[] = {
    {"OK button", [](HWND d) { SendMessageA(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }, true},
    {"Enter", [](HWND d) { PostMessageA(ListOf(d), WM_KEYDOWN, VK_RETURN, 0); }, true},
    {"Cancel button", [](HWND d) { SendMessageA(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0); }, false},
    {"Escape", [](HWND d) { PostMessageA(ListOf(d), WM_KEYDOWN, VK_ESCAPE, 0); }, false},
    {"close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, false},
};

TEST(FileListDialog, OkReturnsTickedRowsInDialogOrderOthersReturnNothing) {
  for (const CloseCase& c : kCloseCases) {
    Fixture f;
    StringList list = f.names;
    bool helpKeptOpen = false;
    DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
      HWND lv = ListOf(dialog);
      SetTick(lv, 1, false);  // untick "Beta.txt"
      SetTick(lv, 3, true);   // tick the hidden file
      SendMessageA(GetDlgItem(dialog, pur::kButtonHelpId), BM_CLICK, 0, 0);
      helpKeptOpen = IsWindowVisible(dialog) != FALSE;
      c.close(dialog);
    });
    pur::ShowFileList(list, nullptr);
    driver.Join();
    ASSERT_TRUE(driver.Found()) << c.name;
    EXPECT_FALSE(driver.ClosedByWatchdog()) << c.name;
    EXPECT_TRUE(helpKeptOpen) << c.name;
    const StringList expected =
        c.accepted ? StringList{f.alpha, f.big, f.hidden, f.kilo} : StringList{};
    EXPECT_EQ(list, expected) << c.name;
  }
}

TEST(FileListDialog, AllProtectedFilesGiveNothingOnOk) {
  TempDir dir;
  StringList list = {dir.File("a", 1, FILE_ATTRIBUTE_READONLY), dir.File("b", 2, FILE_ATTRIBUTE_HIDDEN),
                     dir.File("c", 3, FILE_ATTRIBUTE_SYSTEM), dir / "gone"};
  std::vector<bool> ticks;
  DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
    EXPECT_TRUE(WaitRowsRead(ListOf(dialog), 0, 4));
    for (int i = 0; i < 4; ++i) ticks.push_back(Ticked(ListOf(dialog), i));
    SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  });
  pur::ShowFileList(list, nullptr);
  driver.Join();
  ASSERT_TRUE(driver.Found());
  EXPECT_EQ(ticks, (std::vector<bool>{false, false, false, false}));
  EXPECT_TRUE(list.empty());
}

TEST(FileListDialog, EmptyListShowsAnEmptyDialog) {
  StringList list;
  int rows = -1;
  DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
    rows = static_cast<int>(SendMessageA(ListOf(dialog), LVM_GETITEMCOUNT, 0, 0));
    SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  });
  pur::ShowFileList(list, nullptr);
  driver.Join();
  EXPECT_EQ(rows, 0);
  EXPECT_TRUE(list.empty());
}

TEST(FileListDialog, DuplicateNamesKeepBothRows) {
  TempDir dir;
  const std::string name = dir.File("same.txt", 5);
  StringList list = {name, name};
  DialogDriver driver(pur::kListFileCaption,
                      [&](HWND dialog) { SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); });
  pur::ShowFileList(list, nullptr);
  driver.Join();
  EXPECT_EQ(list, (StringList{name, name}));
}

// The list view of each show makes its own check-box images: once the dialog is gone, their
// bitmap must be gone too, or every show of a long session keeps GDI objects.
TEST(FileListDialog, CheckBoxImagesGoWithTheDialog) {
  TempDir dir;
  StringList list = {dir.File("a.txt", 1), dir.File("b.txt", 2)};
  IMAGEINFO images{};
  DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
    const auto state = reinterpret_cast<HIMAGELIST>(
        SendMessageA(ListOf(dialog), LVM_GETIMAGELIST, LVSIL_STATE, 0));
    if (state != nullptr) ImageList_GetImageInfo(state, 0, &images);
    SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  });
  pur::ShowFileList(list, nullptr);
  driver.Join();
  ASSERT_NE(images.hbmImage, nullptr) << "no check-box images";
  EXPECT_EQ(GetObjectType(images.hbmImage), 0u) << "the check-box bitmap outlived the dialog";
}

// The rows tick and untick by the user's hand as a list view does it with rows of its own: a
// click on the box (a double click counts once), Space on the focused row; a click on the
// name does not.
// Typing a letter moves to the next row whose name begins with it.
struct HandCase {
  const char* name;
  void (*act)(HWND list);
  std::vector<bool> ticks;  // alpha, beta, delta (hidden), gamma
  int focused;
};

POINT BoxOf(HWND list, int row) {
  RECT bounds{};
  bounds.left = LVIR_BOUNDS;
  SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
  for (int x = bounds.left; x < bounds.left + 40; ++x) {
    LVHITTESTINFO hit{};
    hit.pt = {x, (bounds.top + bounds.bottom) / 2};
    SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem == row && (hit.flags & LVHT_ONITEMSTATEICON)) return hit.pt;
  }
  return {-1, -1};
}

POINT NameOf(HWND list, int row) {
  RECT label{};
  label.left = LVIR_LABEL;
  SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&label));
  return {(label.left + label.right) / 2, (label.top + label.bottom) / 2};
}

void Click(HWND list, POINT at, UINT down = WM_LBUTTONDOWN) {
  SendMessageA(list, down, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  SendMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

void Focus(HWND list, int row) {
  LVITEMA item{};
  item.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
  item.state = LVIS_FOCUSED | LVIS_SELECTED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

int Focused(HWND list) {
  return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

const HandCase kHandCases[] = {
    {"click on the box", [](HWND l) { Click(l, BoxOf(l, 1)); }, {true, false, false, true}, -1},
    {"click on the box of an unticked row", [](HWND l) { Click(l, BoxOf(l, 2)); },
     {true, true, true, true}, -1},
    {"double click on the box",
     [](HWND l) {
       Click(l, BoxOf(l, 3));
       Click(l, BoxOf(l, 3), WM_LBUTTONDBLCLK);
     },
     {true, true, false, false}, -1},
    {"click on the name", [](HWND l) { Click(l, NameOf(l, 0)); }, {true, true, false, true}, 0},
    {"Space on the focused row",
     [](HWND l) {
       Focus(l, 2);
       SendMessageA(l, WM_KEYDOWN, VK_SPACE, 1);
     },
     {true, true, true, true}, 2},
    {"Space twice",
     [](HWND l) {
       Focus(l, 0);
       SendMessageA(l, WM_KEYDOWN, VK_SPACE, 1);
       SendMessageA(l, WM_KEYDOWN, VK_SPACE, 1);
     },
     {true, true, false, true}, 0},
};

TEST(FileListDialog, BoxClicksAndSpaceTickRowsByHand) {
  TempDir dir;
  const std::string alpha = dir.File("alpha.txt", 1), beta = dir.File("beta.txt", 2);
  const std::string delta = dir.File("delta.txt", 3, FILE_ATTRIBUTE_HIDDEN);
  const std::string gamma = dir.File("gamma.txt", 4);
  const std::vector<std::string> rows = {alpha, beta, delta, gamma};
  for (const HandCase& c : kHandCases) {
    StringList list = {gamma, delta, beta, alpha};
    std::vector<bool> ticks;
    int focused = -2;
    DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
      HWND lv = ListOf(dialog);
      EXPECT_TRUE(WaitRowsRead(lv, 0, 4));
      c.act(lv);
      for (int i = 0; i < 4; ++i) ticks.push_back(Ticked(lv, i));
      focused = Focused(lv);
      SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    pur::ShowFileList(list, nullptr);
    driver.Join();
    ASSERT_TRUE(driver.Found()) << c.name;
    EXPECT_EQ(ticks, c.ticks) << c.name;
    EXPECT_EQ(focused, c.focused) << c.name;
    StringList expected;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (c.ticks[i]) expected.push_back(rows[i]);
    }
    EXPECT_EQ(list, expected) << c.name;
  }
}

TEST(FileListDialog, TypingMovesToTheNextRowBeginningWithTheLetter) {
  StringList list = {"gamma", "beta", "alpha", "Gamma2", "delta"};  // none exists
  std::vector<int> focus;
  DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
    HWND lv = ListOf(dialog);
    Focus(lv, 0);
    for (const char letter : {'g', 'b', 'z'}) {
      SendMessageA(lv, WM_CHAR, static_cast<WPARAM>(letter), 1);
      focus.push_back(Focused(lv));
      Sleep(600);  // past the list view's delay for typing a longer text
    }
    SendMessageA(lv, WM_CHAR, 'G', 1);
    focus.push_back(Focused(lv));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  pur::ShowFileList(list, nullptr);
  driver.Join();
  // Rows: alpha, beta, delta, gamma, Gamma2.
  EXPECT_EQ(focus, (std::vector<int>{3, 1, 1, 3}));
}

// A list long enough that the background reading of the attributes is still going on when
// the user acts. The names in a folder that does not exist sort first and start unticked;
// the files that exist sort last, where the reading comes last.
struct LargeFixture {
  TempDir dir;
  std::string hidden, plain1, plain2, readOnly, system;
  std::vector<std::string> missing;
  StringList names;
  // Enough names that reading them all takes clearly longer than Cancel's own wait, now that
  // each missing name is asked for in its exact form, which Wine answers faster.
  static constexpr int kMissing = 120000;
  LargeFixture() {
    for (int i = 0; i < kMissing; ++i) missing.push_back(dir.Path() + "\\absent\\n" + std::to_string(100000 + i));
    hidden = dir.File("zz-hidden", 1, FILE_ATTRIBUTE_HIDDEN);
    plain1 = dir.File("zz-plain1.txt", 2);
    plain2 = dir.File("zz-plain2.txt", 3);
    readOnly = dir.File("zz-readonly", 4, FILE_ATTRIBUTE_READONLY);
    system = dir.File("zz-system", 5, FILE_ATTRIBUTE_SYSTEM);
    names = missing;
    for (const std::string* name : {&plain2, &system, &hidden, &readOnly, &plain1}) {
      names.insert(names.begin() + static_cast<long>(names.size() / 3), *name);
    }
  }
  int Rows() const { return static_cast<int>(names.size()); }
};

TEST(FileListDialog, LargeListKeepsStartingTicksAndTheUsersOwn) {
  LargeFixture f;
  StringList list = f.names;
  std::vector<bool> lastTicks;
  DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
    HWND lv = ListOf(dialog);
    const int n = f.Rows();
    EXPECT_TRUE(WaitRowsRead(lv, n - 5, n));
    for (int i = n - 5; i < n; ++i) lastTicks.push_back(Ticked(lv, i));
    SetTick(lv, n - 6, true);   // the last missing name, before the reading gets there
    SetTick(lv, n - 4, false);  // zz-plain1.txt
    SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  }, std::chrono::minutes(2));
  pur::ShowFileList(list, nullptr);
  driver.Join();
  ASSERT_TRUE(driver.Found());
  // zz-hidden, zz-plain1.txt, zz-plain2.txt, zz-readonly, zz-system.
  EXPECT_EQ(lastTicks, (std::vector<bool>{false, true, true, false, false}));
  EXPECT_EQ(list, (StringList{f.missing.back(), f.plain2}));
}

// Sends the dialog an empty message until it is gone: the longest it took to answer, in ms.
double LongestAnswer(HWND dialog, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + limit;
  double longest = 0;
  while (IsWindow(dialog) && Clock::now() < end) {
    const auto start = Clock::now();
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
    longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    Sleep(5);
  }
  return longest;
}

// OK pressed as soon as the dialog shows answers with the starting ticks of every row, read
// or not yet read, and the window answers all along; Cancel while they are settled returns
// nothing.
TEST(FileListDialog, LargeListOkSettlesTheStartingTicksWithTheWindowAnswering) {
  LargeFixture f;
  StringList list = f.names;
  double longest = -1;
  {
    DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      longest = LongestAnswer(dialog);
    }, std::chrono::minutes(2));
    pur::ShowFileList(list, nullptr);
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_FALSE(driver.ClosedByWatchdog());
  }
  EXPECT_EQ(list, (StringList{f.plain1, f.plain2}));
  EXPECT_LT(longest, 250) << "the window did not answer for " << longest << " ms";

  list = f.names;
  {
    DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }, std::chrono::minutes(2));
    pur::ShowFileList(list, nullptr);
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_FALSE(driver.ClosedByWatchdog());
  }
  EXPECT_TRUE(list.empty());
}

// A lister that counts the listings of each folder and holds those of a folder whose name
// holds "stall" until the test ends.
class ListerProbe {
 public:
  ListerProbe() {
    pur::SetFolderListerForTests([state = state_](const std::wstring& folder) {
      {
        const std::lock_guard lock(state->mutex);
        ++state->listings[folder];
      }
      if (folder.find(L"stall") != std::wstring::npos) WaitForSingleObject(state->release, 60000);
      return pur::ListFolder(folder);
    });
  }
  ~ListerProbe() {
    pur::SetFolderListerForTests({});
    SetEvent(state_->release);
  }
  ListerProbe(const ListerProbe&) = delete;
  ListerProbe& operator=(const ListerProbe&) = delete;

  // Listings of the folder whose exact form ends with `tail`.
  int ListingsOf(const std::string& tail) const {
    const std::lock_guard lock(state_->mutex);
    int count = 0;
    const std::wstring wideTail = purtest::Wide(tail);
    for (const auto& [folder, times] : state_->listings) {
      if (folder.size() >= wideTail.size() && folder.compare(folder.size() - wideTail.size(), wideTail.size(), wideTail) == 0) {
        count += times;
      }
    }
    return count;
  }

 private:
  struct State {
    std::mutex mutex;
    std::map<std::wstring, int> listings;
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~State() { CloseHandle(release); }
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Rows in folders of every kind, all below the first page, so that only OK's listings read
// them: a listed name matches whatever its case; a name not in its folder, a folder that does
// not exist, a folder that is a link and a name with no exact form leave their rows unticked.
TEST(FileListDialog, OkSettlesUnreadRowsByOneListingPerFolder) {
  TempDir dir;
  dir.SubFolder("a");
  dir.SubFolder("b");
  StringList fillers;
  for (int i = 0; i < 40; ++i) fillers.push_back(dir.File("a\\f" + std::to_string(100 + i) + ".txt", 1));
  const std::string plain = dir.File("b\\plain.txt", 1);
  dir.File("b\\plain2.txt", 2);
  dir.File("b\\hidden.txt", 3, FILE_ATTRIBUTE_HIDDEN);
  const std::wstring link = purtest::Wide(dir / "c");
  ASSERT_TRUE(purtest::MakeUnixLink(link, purtest::Wide(dir / "b")));
  const std::string upperCase = dir / "b\\PLAIN2.TXT";
  StringList list = {plain, upperCase, dir / "b\\HIDDEN.TXT", dir / "b\\gone.txt", dir / "b\\bad.",
                     dir / "c\\plain.txt", dir / "d\\plain.txt"};
  list.insert(list.end(), fillers.begin(), fillers.end());
  {
    ListerProbe probe;
    DialogDriver driver(pur::kListFileCaption,
                        [&](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDOK, 0); });
    pur::ShowFileList(list, nullptr);
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_LE(probe.ListingsOf("\\a\\"), 1);
    EXPECT_EQ(probe.ListingsOf("\\b\\"), 1);
    EXPECT_EQ(probe.ListingsOf("\\c\\"), 0) << "a link was listed";
    EXPECT_EQ(probe.ListingsOf("\\d\\"), 0);
  }
  purtest::RemoveUnixLink(link);
  StringList expected = fillers;
  expected.push_back(plain);
  expected.push_back(upperCase);
  EXPECT_EQ(list, expected);
}

// A listing that hangs (a network folder) leaves its rows unticked after a bound of a few
// seconds; the window answers all along, and Cancel closes it at once.
TEST(FileListDialog, StalledListingLeavesItsRowsUntickedAndNeverHoldsTheWindow) {
  using Clock = std::chrono::steady_clock;
  const std::string kWhileStalled = "Lecture des attributs : 31 / 33";
  TempDir dir;
  dir.SubFolder("a");
  dir.SubFolder("zz-stall");
  StringList plain;
  for (int i = 0; i < 30; ++i) plain.push_back(dir.File("a\\f" + std::to_string(100 + i) + ".txt", 1));
  const std::string hidden = dir.File("a\\hid.txt", 1, FILE_ATTRIBUTE_HIDDEN);
  StringList stalled = {dir.File("zz-stall\\x.txt", 1), dir.File("zz-stall\\y.txt", 1)};
  for (const bool ok : {true, false}) {
    ListerProbe probe;
    StringList list = stalled;
    list.insert(list.end(), plain.begin(), plain.end());
    list.push_back(hidden);
    std::string progress;
    double longest = -1;
    double closedAfter = -1;
    DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      const auto start = Clock::now();
      HWND label = GetDlgItem(dialog, pur::kProgressLabelId);
      // The rows of "a" are settled one by one; the count then waits on the stalled folder.
      while (progress != kWhileStalled && Clock::now() - start < std::chrono::seconds(2)) {
        if (IsWindowVisible(label)) progress = pur::test::CaptionOf(label);
        Sleep(10);
      }
      if (!ok) {
        const auto cancel = Clock::now();
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        while (IsWindow(dialog) && Clock::now() - cancel < std::chrono::seconds(5)) Sleep(5);
        closedAfter = std::chrono::duration<double>(Clock::now() - cancel).count();
        return;
      }
      longest = LongestAnswer(dialog);
      closedAfter = std::chrono::duration<double>(Clock::now() - start).count();
    }, std::chrono::seconds(30));
    pur::ShowFileList(list, nullptr);
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_FALSE(driver.ClosedByWatchdog());
    EXPECT_EQ(progress, kWhileStalled) << ok;
    EXPECT_EQ(probe.ListingsOf("\\zz-stall\\"), 1);
    if (ok) {
      EXPECT_EQ(list, plain);
      EXPECT_LT(longest, 250) << "the window did not answer for " << longest << " ms";
      EXPECT_GE(closedAfter, 2.5);
      EXPECT_LT(closedAfter, 10);
    } else {
      EXPECT_TRUE(list.empty());
      EXPECT_LT(closedAfter, 1.0);
    }
  }
}

std::vector<std::string> MenuTexts(HWND menuWindow) {
  constexpr UINT kGetMenu = 0x01E1;  // MN_GETHMENU
  const auto menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, kGetMenu, 0, 0));
  std::vector<std::string> texts;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[128] = {};
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
    texts.push_back(text);
  }
  return texts;
}

// Another window of the dialog's thread with the dialog's caption: the error box.
HWND WaitErrorBox(HWND dialog) {
  for (int tries = 0; tries < 500; ++tries) {
    struct Search {
      HWND dialog, found;
    } search{dialog, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(dialog, nullptr), [](HWND window, LPARAM param) -> BOOL {
      auto& s = *reinterpret_cast<Search*>(param);
      if (window == s.dialog || !IsWindowVisible(window) ||
          pur::test::CaptionOf(window) != pur::kListFileCaption) {
        return TRUE;
      }
      s.found = window;
      return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(10);
  }
  return nullptr;
}

std::string TextsOf(HWND window) {
  std::string all;
  EnumChildWindows(window, [](HWND child, LPARAM param) -> BOOL {
    *reinterpret_cast<std::string*>(param) += pur::test::CaptionOf(child) + "\n";
    return TRUE;
  }, reinterpret_cast<LPARAM>(&all));
  return all;
}

// The "Toujours garder" menu on a row, opened by the mouse or by the keyboard (the context
// key and Shift+F10 send WM_CONTEXTMENU without a place): its folder item records the row's
// folder, its file item the row's path; the rows the new entry keeps are unticked at once and
// OK leaves them out. When Record fails, an error box says why and nothing changes.
struct KeepCase {
  const char* name;
  bool byKeyboard;
  int row;     // of keep\k1.txt, keep\k2.txt, keep\sub\k3.txt, other\o1.txt
  int item;    // 0 folder, 1 file
  bool recordSucceeds;
  const char* entryTail;               // after the test's folder
  std::vector<bool> ticksAfter;        // right after the choice
};

const KeepCase kKeepCases[] = {
    {"folder by right click", false, 0, 0, true, "\\keep\\", {false, false, false, true}},
    {"file by right click", false, 1, 1, true, "\\keep\\k2.txt", {true, false, true, true}},
    {"folder by the keyboard", true, 2, 0, true, "\\keep\\sub\\", {true, true, false, true}},
    {"Record fails", false, 3, 0, false, "\\other\\", {true, true, true, true}},
};

TEST(FileListDialog, KeepMenuRecordsTheRowsFolderOrFileAndUnticksWhatItKeeps) {
  TempDir dir;
  dir.SubFolder("keep");
  dir.SubFolder("keep\\sub");
  dir.SubFolder("other");
  const StringList rows = {dir.File("keep\\k1.txt", 1), dir.File("keep\\k2.txt", 2),
                           dir.File("keep\\sub\\k3.txt", 3), dir.File("other\\o1.txt", 4)};
  for (const KeepCase& c : kKeepCases) {
    std::vector<std::string> recorded;
    pur::TReviewKeeping keeping;
    keeping.Record = [&](const std::string& entry, std::string& error) {
      recorded.push_back(entry);
      if (!c.recordSucceeds) error = "Le registre refuse l'écriture.";
      return c.recordSucceeds;
    };
    std::vector<std::string> texts;
    std::vector<bool> ticks;
    std::string errorBox;
    StringList list = {rows[3], rows[2], rows[1], rows[0]};
    DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
      HWND lv = ListOf(dialog);
      EXPECT_TRUE(WaitRowsRead(lv, 0, 4));
      if (c.byKeyboard) {
        Focus(lv, c.row);
        PostMessageA(lv, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(lv), -1);
      } else {
        const POINT at = NameOf(lv, c.row);
        PostMessageA(lv, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
        PostMessageA(lv, WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
      }
      HWND menu = purtest::WaitPopupMenu(dialog);
      if (menu == nullptr) return;
      texts = MenuTexts(menu);
      for (int i = 0; i <= c.item; ++i) PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
      PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
      if (!c.recordSucceeds) {
        HWND box = WaitErrorBox(dialog);
        if (box != nullptr) errorBox = TextsOf(box);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }
      while (IsWindowVisible(menu)) Sleep(10);
      SendMessageA(dialog, WM_NULL, 0, 0);  // the choice has been acted on
      for (int i = 0; i < 4; ++i) ticks.push_back(Ticked(lv, i));
      SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    pur::ShowFileList(list, nullptr, &keeping);
    driver.Join();
    ASSERT_TRUE(driver.Found()) << c.name;
    EXPECT_FALSE(driver.ClosedByWatchdog()) << c.name;
    EXPECT_EQ(texts, (std::vector<std::string>{"Toujours garder ce dossier", "Toujours garder ce fichier"}))
        << c.name;
    EXPECT_EQ(recorded, (std::vector<std::string>{dir.Path() + c.entryTail})) << c.name;
    EXPECT_EQ(ticks, c.ticksAfter) << c.name;
    StringList expected;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (c.ticksAfter[i]) expected.push_back(rows[i]);
    }
    EXPECT_EQ(list, expected) << c.name;
    if (!c.recordSucceeds) {
      EXPECT_NE(errorBox.find("Le registre refuse l'écriture."), std::string::npos) << errorBox;
      EXPECT_NE(errorBox.find("Toujours garder"), std::string::npos) << errorBox;
    }
  }
}

// Without a keeping, a right click shows no menu.
TEST(FileListDialog, NoKeepMenuWithoutKeeping) {
  TempDir dir;
  StringList list = {dir.File("a.txt", 1)};
  HWND menu = nullptr;
  DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
    HWND lv = ListOf(dialog);
    const POINT at = NameOf(lv, 0);
    PostMessageA(lv, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageA(lv, WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    PostMessageA(lv, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(lv), -1);
    menu = purtest::WaitPopupMenu(dialog, std::chrono::milliseconds(500));
    if (menu) PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  pur::ShowFileList(list, nullptr);
  driver.Join();
  EXPECT_EQ(menu, nullptr);
}

TEST(FileListDialog, IsCentredOverTheMainWindowAndModalToIt) {
  HWND main = CreateWindowExA(0, "STATIC", "main", WS_POPUP | WS_VISIBLE, 100, 80, 700, 500,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(main, nullptr);
  RECT place{};
  bool mainDisabled = false;
  HWND owner = nullptr;
  StringList list;
  DialogDriver driver(pur::kListFileCaption, [&](HWND dialog) {
    GetWindowRect(dialog, &place);
    mainDisabled = !IsWindowEnabled(main);
    owner = GetWindow(dialog, GW_OWNER);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  pur::ShowFileList(list, main);
  driver.Join();
  const int width = place.right - place.left;
  const int height = place.bottom - place.top;
  EXPECT_EQ(place.left, 100 + (700 - width) / 2);
  EXPECT_EQ(place.top, 80 + (500 - height) / 2);
  EXPECT_TRUE(mainDisabled);
  EXPECT_EQ(owner, main);
  EXPECT_TRUE(IsWindowEnabled(main));
  DestroyWindow(main);
}

TEST(FileListFiles, SizesAndLetters) {
  TempDir dir;
  struct Case {
    std::string name;
    int64_t size;
    std::string letters;
  };
  const std::string plain = dir.File("plain", 12345);
  // Wine reports every regular file with the archive bit and cannot clear it.
  const std::string archive = pur::FileAttrLetters(plain);
  EXPECT_TRUE(archive == "" || archive == "A") << archive;
  const Case cases[] = {
      {plain, 12345, archive},
      {dir.File("empty", 0), 0, archive},
      {dir.File("2g", 2LL * 1024 * 1024 * 1024), 2LL * 1024 * 1024 * 1024, archive},
      {dir.File("4g", 4LL * 1024 * 1024 * 1024 + 1), 4LL * 1024 * 1024 * 1024 + 1, archive},
      {dir.File("ro", 3, FILE_ATTRIBUTE_READONLY), 3, archive + "R"},
      {dir.File("all", 4,
                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY |
                    FILE_ATTRIBUTE_SYSTEM),
       4, "AHRS"},
      {dir / "nothing-here", 0, "AHRS"},
      {dir.Path(), 0, ""},  // a folder cannot be opened as a file
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pur::GetFileSizeOf(c.name), c.size) << c.name;
    if (c.name != dir.Path()) {
      EXPECT_EQ(pur::FileAttrLetters(c.name), c.letters) << c.name;
    }
  }
  // A file held open by another handle without sharing restrictions is still measured.
  HANDLE held = CreateFileA(plain.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(pur::GetFileSizeOf(plain), 12345);
  CloseHandle(held);
}

TEST(CenterOnMainForm, CentresAndClampsToTheScreen) {
  const int screenW = GetSystemMetrics(SM_CXSCREEN);
  const int screenH = GetSystemMetrics(SM_CYSCREEN);
  struct Case {
    int left, top, width, height;  // main window
    int expectLeft, expectTop;     // form of 300 x 200
  };
  const Case cases[] = {
      {100, 100, 500, 400, 200, 200},
      {-400, -300, 200, 100, 0, 0},
      {screenW - 100, screenH - 50, 400, 300, screenW - 300, screenH - 200},
      {10, 10, 301, 201, 10, 10},
  };
  HWND form = CreateWindowExA(0, "STATIC", "form", WS_POPUP, 5, 5, 300, 200, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(form, nullptr);
  for (const auto& c : cases) {
    HWND main = CreateWindowExA(0, "STATIC", "main", WS_POPUP, c.left, c.top, c.width, c.height,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(main, nullptr);
    pur::CenterOnMainForm(form, main);
    RECT r{};
    GetWindowRect(form, &r);
    EXPECT_EQ(r.left, c.expectLeft) << c.left << "," << c.top;
    EXPECT_EQ(r.top, c.expectTop) << c.left << "," << c.top;
    EXPECT_EQ(r.right - r.left, 300);
    DestroyWindow(main);
  }
  SetWindowPos(form, nullptr, 7, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  pur::CenterOnMainForm(form, nullptr);  // no main window: left alone
  RECT r{};
  GetWindowRect(form, &r);
  EXPECT_EQ(r.left, 7);
  EXPECT_EQ(r.top, 9);
  DestroyWindow(form);
}

}  // namespace

namespace {

std::vector<std::string> StableLstrcmpOrder(std::vector<std::string> names) {
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return lstrcmpA(a.c_str(), b.c_str()) < 0;
  });
  return names;
}

// The dialog's order alone: no check or fallback of its own could hide a wrong key order.
// Names that compare equal must keep the caller's order: a wrong order of their indexes
// shows as an index out of order, since the names themselves look alike.
std::vector<std::string> SortKeyOrder(const std::vector<std::string>& names) {
  const std::vector<uint32_t> order = pur::SortKeyOrder(names);
  std::vector<std::string> out;
  for (size_t i = 0; i < order.size(); ++i) {
    out.push_back(names[order[i]]);
    if (i > 0 && lstrcmpA(names[order[i - 1]].c_str(), names[order[i]].c_str()) == 0) {
      EXPECT_LT(order[i - 1], order[i]) << "equal names out of the caller's order: " << out.back();
    }
  }
  return out;
}

TEST(FileListOrder, SameAsLstrcmpA) {
  const std::vector<std::string> tricky = {
      "coop", "co-op", "Coop", "co'op", "été", "ete", "ÉTÉ", "Zeta", "_x", "~y",
      "10",   "9",     "a b",  "a-b",   "ab",       "A",   "a",        "",     "a",    "B",
      "æ", "ae",    "AE",   "ß",  "ss",       "x.tmp", "x~1.tmp", "X.TMP", "[a]", "{a}"};
  EXPECT_EQ(SortKeyOrder(tricky), StableLstrcmpOrder(tricky));

  // Many random names from an alphabet of letters in both cases, accents and punctuation:
  // enough to be sorted in several stretches and merged, with equal names across them.
  const std::vector<std::string> alphabet = {"a", "A", "b", "B", "e", "E", "é", "É", "-",
                                             "'", " ", "_", ".", "~", "0", "9", "1", "2"};
  std::vector<std::string> random;
  uint32_t seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    std::string name;
    const int length = 1 + static_cast<int>((seed >> 16) % 6);
    for (int k = 0; k < length; ++k) {
      seed = seed * 1103515245u + 12345u;
      name += alphabet[(seed >> 16) % alphabet.size()];
    }
    random.push_back(name);
  }
  EXPECT_EQ(SortKeyOrder(random), StableLstrcmpOrder(random));
}

}  // namespace
