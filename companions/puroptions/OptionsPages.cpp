// The pages of the options box, built in code in pixels, and the colour they are drawn in.
#include "OptionsDialog.h"

#include <algorithm>
#include <cstdio>

#include "ExactPath.h"
#include "OptionsPlatform.h"
#include "OptionsTexts.h"

namespace pur::options {

namespace {

namespace t = texts;

// Client area and its parts, in pixels.
constexpr int kClientWidth = 600;
constexpr int kClientHeight = 630;
constexpr int kMargin = 8;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kRow = 26;         // distance between two lines of controls
constexpr int kLineHeight = 20;  // a check box, a label
constexpr int kEditHeight = 22;
constexpr int kPadding = 10;     // between the tab's border and a page's controls
constexpr UINT kDefinitionTabStop = 12;  // dialog template units
constexpr int kKnownCleaningTypes = 3;
constexpr int kGap = 6;               // between a label and its field on one line
constexpr int kAgeWidth = 64;          // the field with its arrows
constexpr int kKeepListHeight = 60;    // four lines
constexpr int kLimitsHeight = 22 + kRow + 4 + kLineHeight + kKeepListHeight + 4 + kLineHeight + 8;

}  // namespace

void TOptionsDialog::Create() {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&controls);
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    font_.Reset(CreateFontIndirectA(&metrics.lfMessageFont));

  SetWindowTextA(hwnd_, t::kCaption);
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_EXSTYLE)));
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER);

  const int tabsHeight = kClientHeight - 3 * kMargin - kButtonHeight;
  tabs_ = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP,
                          kMargin, kMargin, kClientWidth - 2 * kMargin, tabsHeight, hwnd_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::kTabs)), module_, nullptr);
  if (font_) SendMessageA(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  for (int page = 0; page < ids::kPageCount; ++page) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(t::kPages[page]);
    SendMessageA(tabs_, TCM_INSERTITEMA, page, reinterpret_cast<LPARAM>(&item));
  }
  RECT area{kMargin, kMargin, kClientWidth - kMargin, kMargin + tabsHeight};
  SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  pageArea_ = {area.left + kPadding, area.top + kPadding, area.right - kPadding, area.bottom - kPadding};

  TakeBodyColour();
  ListLockedControls();
  CreateDisplayPage();
  CreateCleaningPage();
  CreateJournalPage();
  CreateSearchPage();
  CreateServicePage();

  const int buttonsTop = kClientHeight - kMargin - kButtonHeight;
  const int cancelLeft = kClientWidth - kMargin - kButtonWidth;
  HWND ok = CreateWindowExA(0, "BUTTON", t::kOk, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                            cancelLeft - kMargin - kButtonWidth, buttonsTop, kButtonWidth, kButtonHeight,
                            hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), module_, nullptr);
  HWND cancel = CreateWindowExA(0, "BUTTON", t::kCancel, WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                cancelLeft, buttonsTop, kButtonWidth, kButtonHeight, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), module_, nullptr);
  for (HWND button : {ok, cancel})
    if (font_) SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  LockControls();
  if (!locked_.empty()) {
    const int noteWidth = cancelLeft - 3 * kMargin - kButtonWidth;
    HWND note = CreateWindowExA(0, "STATIC", t::kEnforcedNote, WS_CHILD | WS_VISIBLE | SS_NOPREFIX, kMargin,
                                buttonsTop + (kButtonHeight - kLineHeight) / 2 + 2, noteWidth, kLineHeight, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::kPolicyNote)), module_, nullptr);
    if (font_) SendMessageA(note, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  }
  // New children go below the earlier ones: put the tab at the bottom, so that its body (it
  // clips its siblings) never paints over the controls laid on it.
  SetWindowPos(tabs_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ShowPage(ids::kPageDisplay);
  RefreshTree(nullptr);
}

// The tab's body may be drawn in another colour than the dialog (themes do): labels and
// check boxes on a page take the colour the tab control actually paints.
void TOptionsDialog::TakeBodyColour() {
  RECT client{};
  GetClientRect(tabs_, &client);
  const TWindowDC screen(tabs_);
  const TMemoryDC memory(CreateCompatibleDC(screen.Get()));
  const TBitmap bitmap(CreateCompatibleBitmap(screen.Get(), client.right, client.bottom));
  // Declared last: the bitmap leaves the context before either is deleted.
  const TSelection selection(memory.Get(), bitmap.Get());
  FillRect(memory.Get(), &client, GetSysColorBrush(COLOR_BTNFACE));
  SendMessageA(tabs_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.Get()), PRF_CLIENT | PRF_ERASEBKGND);
  POINT inside{(pageArea_.left + pageArea_.right) / 2, pageArea_.bottom - 2};
  MapWindowPoints(hwnd_, tabs_, &inside, 1);
  const COLORREF colour = GetPixel(memory.Get(), inside.x, inside.y);
  bodyColour_ = colour == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : colour;
  bodyBrush_.Reset(CreateSolidBrush(bodyColour_));
}

INT_PTR TOptionsDialog::PageBackground(HDC dc, HWND control) {
  const int id = GetDlgCtrlID(control);
  if (!bodyBrush_ || id == IDOK || id == IDCANCEL || id == ids::kPolicyNote || GetParent(control) != hwnd_)
    return FALSE;
  SetBkColor(dc, bodyColour_);
  return reinterpret_cast<INT_PTR>(bodyBrush_.Get());
}

HWND TOptionsDialog::Add(int page, const char* cls, const char* text, DWORD style, int x, int y,
                         int w, int h, int id, DWORD exStyle) {
  HWND control = CreateWindowExA(exStyle, cls, text, WS_CHILD | style, pageArea_.left + x,
                                 pageArea_.top + y, w, h, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module_, nullptr);
  if (control && font_) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  pages_[static_cast<size_t>(page)].push_back(control);
  return control;
}

HWND TOptionsDialog::AddCheck(int page, const char* text, int x, int y, int w, int id, bool checked) {
  HWND box = Add(page, "BUTTON", text, BS_AUTOCHECKBOX | WS_TABSTOP, x, y, w, kLineHeight, id);
  SendMessageA(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  return box;
}

HWND TOptionsDialog::AddEdit(int page, int x, int y, int w, int id, const std::string& text, DWORD style) {
  shownTexts_.emplace_back(id, text);
  return Add(page, "EDIT", text.c_str(), ES_AUTOHSCROLL | WS_TABSTOP | style, x, y, w, kEditHeight, id,
             WS_EX_CLIENTEDGE);
}

// A label as wide as its text in the box's font, so that what follows on its line can be
// put right after it. Measured in UTF-16, as the label draws it: the ANSI measuring call
// reads bytes in the font's code page, not the process's.
int TOptionsDialog::AddLabel(int page, const char* text, int x, int y, int id) {
  const std::wstring wide = WideFromAnsi(text).value_or(std::wstring());
  SIZE size{};
  {
    const TWindowDC dc(hwnd_);
    const TSelection font(dc.Get(), font_ ? static_cast<HGDIOBJ>(font_.Get()) : GetStockObject(DEFAULT_GUI_FONT));
    GetTextExtentPoint32W(dc.Get(), wide.c_str(), static_cast<int>(wide.size()), &size);
  }
  const int width = size.cx + 2;
  Add(page, "STATIC", text, 0, x, y, width, kLineHeight, id);
  return width;
}

void TOptionsDialog::CreateDisplayPage() {
  const int p = ids::kPageDisplay;
  const TDisplaySettings& d = values_.Display;
  AddCheck(p, t::kShowDetail, 0, 0, 400, ids::kShowDetail, d.ShowDetail);
  AddCheck(p, t::kMinimizeToIcon, 0, kRow, 400, ids::kMinimizeToIcon, d.MinimizeToIcon);
  Add(p, "STATIC", t::kRefreshSpeed, 0, 0, 2 * kRow + 3, 220, kLineHeight, ids::kRefreshSpeedLabel);
  AddEdit(p, 230, 2 * kRow, 80, ids::kRefreshSpeed, std::to_string(d.RefreshSpeed));
  const int top = 4 * kRow;
  Add(p, "BUTTON", t::kPositionGroup, BS_GROUPBOX, 0, top, 400, 3 * kRow + 10);
  Add(p, "STATIC", t::kPosX, 0, 16, top + 24 + 3, 30, kLineHeight, ids::kPosXLabel);
  AddEdit(p, 50, top + 24, 80, ids::kPosX, std::to_string(d.PosX));
  Add(p, "STATIC", t::kPosY, 0, 160, top + 24 + 3, 30, kLineHeight, ids::kPosYLabel);
  AddEdit(p, 194, top + 24, 80, ids::kPosY, std::to_string(d.PosY));
  Add(p, "STATIC", t::kPositionNote, 0, 16, top + 24 + kRow + 6, 360, kLineHeight);
}

void TOptionsDialog::CreateCleaningPage() {
  const int p = ids::kPageCleaning;
  const TCleaningSettings& c = values_.Cleaning;
  const int width = pageArea_.right - pageArea_.left;
  Add(p, "BUTTON", t::kRunGroup, BS_GROUPBOX, 0, 0, width, 3 * kRow + 24);
  AddCheck(p, t::kEmptyRecycleBin, 14, 22, 400, ids::kEmptyRecycleBin, c.EmptyRecycleBin);
  AddCheck(p, t::kEmptyTempFolder, 14, 22 + kRow, 400, ids::kEmptyTempFolder, c.EmptyTempFolder);
  AddCheck(p, t::kRunPersonalSearch, 14, 22 + 2 * kRow, 400, ids::kRunPersonalSearch, c.RunPersonalSearch);
  int top = 3 * kRow + 34;
  Add(p, "BUTTON", t::kFoundGroup, BS_GROUPBOX, 0, top, width, 3 * kRow + 24);
  AddCheck(p, t::kSendToRecycleBin, 14, top + 22, 500, ids::kSendToRecycleBin, c.SendToRecycleBin);
  AddCheck(p, t::kConfirmDelete, 14, top + 22 + kRow, 500, ids::kConfirmDelete, c.ConfirmDelete);
  AddCheck(p, t::kTestMode, 14, top + 22 + 2 * kRow, 500, ids::kTestMode, c.TestMode);
  top += 3 * kRow + 34;
  Add(p, "BUTTON", t::kReadOnlyHiddenGroup, BS_GROUPBOX, 0, top, width, 4 * kRow + 28);
  for (int value = 0; value < ids::kReadOnlyHiddenChoices; ++value) {
    const DWORD group = value == 0 ? WS_GROUP | WS_TABSTOP : 0;
    HWND radio = Add(p, "BUTTON", t::kReadOnlyHiddenChoices[value], BS_AUTORADIOBUTTON | group, 14,
                     top + 22 + value * kRow, 500, kLineHeight, ids::kReadOnlyHidden0 + value);
    // A stored value outside 0..2 checks none and is kept unless the user picks one.
    if (c.ReadOnlyHiddenMode == value) SendMessageA(radio, BM_SETCHECK, BST_CHECKED, 0);
  }
  Add(p, "STATIC", t::kReadOnlyHiddenNote, WS_GROUP, 14, top + 26 + 3 * kRow, width - 28, kLineHeight);
  CreateLimitsGroup(top + 4 * kRow + 38);
}

// What no deleting step touches: files younger than the age, and what the keep list names.
void TOptionsDialog::CreateLimitsGroup(int top) {
  const int p = ids::kPageCleaning;
  const TCleaningSettings& c = values_.Cleaning;
  const int width = pageArea_.right - pageArea_.left;
  Add(p, "BUTTON", t::kLimitsGroup, BS_GROUPBOX, 0, top, width, kLimitsHeight);
  const int row = top + 22;
  int x = 14 + AddLabel(p, t::kMinimumAge, 14, row + 3, ids::kMinimumAgeLabel) + kGap;
  AddMinimumAge(x, row, c.MinimumAgeDays);
  x += kAgeWidth + kGap;
  x += AddLabel(p, t::kDays, x, row + 3, ids::kDaysLabel) + 2 * kGap;
  AddLabel(p, t::kMinimumAgeNote, x, row + 3);
  const int listTop = row + kRow + 4;
  AddLabel(p, t::kKeepList, 14, listTop, ids::kKeepListLabel);
  const std::string keep = KeepListText(c.KeepList);
  shownTexts_.emplace_back(ids::kKeepList, keep);
  // Enter starts a new line here rather than pressing OK; long entries scroll, never wrap,
  // so that a line of the field is one entry.
  HWND list = Add(p, "EDIT", keep.c_str(),
                  ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 14,
                  listTop + kLineHeight, width - 28, kKeepListHeight, ids::kKeepList, WS_EX_CLIENTEDGE);
  SendMessageA(list, EM_SETLIMITTEXT, 0, 0);
  AddLabel(p, t::kKeepListNote, 14, listTop + kLineHeight + kKeepListHeight + 4);
}

void TOptionsDialog::AddMinimumAge(int x, int y, int32_t days) {
  const int p = ids::kPageCleaning;
  const std::string shown = std::to_string(days);
  HWND field = AddEdit(p, x, y, kAgeWidth, ids::kMinimumAgeDays, shown, ES_NUMBER);
  // No thousands separator: the field must read back as a plain number.
  HWND arrows = Add(p, UPDOWN_CLASSA, "", UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_SETBUDDYINT | UDS_NOTHOUSANDS, 0, 0,
                    0, 0, ids::kMinimumAgeArrows);
  SendMessageA(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(field), 0);
  SendMessageA(arrows, UDM_SETRANGE32, 0, kMaxMinimumAgeDays);
  SendMessageA(arrows, UDM_SETPOS32, 0, std::clamp<int32_t>(days, 0, kMaxMinimumAgeDays));
  SetWindowTextA(field, shown.c_str());  // a stored value out of range shows as it is
}

void TOptionsDialog::CreateJournalPage() {
  const int p = ids::kPageJournal;
  const TJournalSettings& j = values_.Journal;
  const int width = pageArea_.right - pageArea_.left;
  AddCheck(p, t::kJournalEnabled, 0, 0, 400, ids::kJournalEnabled, j.Enabled);
  AddCheck(p, t::kNewEachSearch, 0, kRow, 400, ids::kNewEachSearch, j.NewEachSearch);
  const int top = 2 * kRow + 8;
  Add(p, "BUTTON", t::kEventsGroup, BS_GROUPBOX, 0, top, width, ids::kEventCount * kRow + 24);
  for (int bit = 0; bit < ids::kEventCount; ++bit)
    AddCheck(p, t::kEvents[bit], 14, top + 22 + bit * kRow, 500, ids::kEventFirst + bit,
             (j.Events & (1u << bit)) != 0);
  const int row = top + ids::kEventCount * kRow + 40;
  Add(p, "STATIC", t::kLocation, 0, 0, row, 300, kLineHeight, ids::kLocationLabel);
  Add(p, "EDIT", j.Location.c_str(), ES_AUTOHSCROLL | WS_TABSTOP, 0, row + kLineHeight, width - 110,
      kEditHeight, ids::kLocation, WS_EX_CLIENTEDGE);
  Add(p, "BUTTON", t::kBrowse, WS_TABSTOP, width - 100, row + kLineHeight - 2, 100, kButtonHeight,
      ids::kBrowseLocation);
  Add(p, "STATIC", t::kLocationNote, 0, 0, row + kLineHeight + kRow + 4, width, kLineHeight);
}

void TOptionsDialog::CreateSearchPage() {
  const int p = ids::kPageSearch;
  const int width = pageArea_.right - pageArea_.left;
  const int treeWidth = 250;
  const int right = treeWidth + 12;
  const int rightWidth = width - right;
  Add(p, "STATIC", t::kPlaces, 0, 0, 0, treeWidth, kLineHeight);
  Add(p, WC_TREEVIEWA, "", WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
      0, kLineHeight, treeWidth, 176, ids::kTree, WS_EX_CLIENTEDGE);
  const int below = kLineHeight + 182;
  HWND drives = Add(p, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, below, 80, 200,
                    ids::kDrives);
  for (const std::string& drive : LogicalDrives())
    SendMessageA(drives, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(drive.c_str()));
  SendMessageA(drives, CB_SETCURSEL, 0, 0);
  Add(p, "BUTTON", t::kAddDrive, WS_TABSTOP, 86, below - 1, treeWidth - 86, kButtonHeight, ids::kAddDrive);
  Add(p, "BUTTON", t::kAddFolder, WS_TABSTOP, 0, below + kRow + 4, 124, kButtonHeight, ids::kAddFolder);
  Add(p, "BUTTON", t::kRemoveNode, WS_TABSTOP, 130, below + kRow + 4, treeWidth - 130, kButtonHeight,
      ids::kRemoveNode);

  Add(p, "STATIC", t::kMasks, 0, right, 0, rightWidth, kLineHeight);
  Add(p, "LISTBOX", "", LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT, right, kLineHeight,
      rightWidth, 120, ids::kMasks, WS_EX_CLIENTEDGE);
  const int editRow = kLineHeight + 128;
  Add(p, "STATIC", t::kMaskText, 0, right, editRow + 3, 56, kLineHeight);
  Add(p, "EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, right + 58, editRow, rightWidth - 58 - 90, kEditHeight,
      ids::kMaskText, WS_EX_CLIENTEDGE);
  Add(p, "BUTTON", t::kRecursive, BS_AUTOCHECKBOX | WS_TABSTOP, width - 80, editRow + 1, 80, kLineHeight,
      ids::kRecursive);
  const int buttonWidth = (rightWidth - 12) / 3;
  const int buttonsRow = editRow + kRow + 6;
  Add(p, "BUTTON", t::kAddMask, WS_TABSTOP, right, buttonsRow, buttonWidth, kButtonHeight, ids::kAddMask);
  Add(p, "BUTTON", t::kEditMask, WS_TABSTOP, right + buttonWidth + 6, buttonsRow, buttonWidth, kButtonHeight,
      ids::kEditMask);
  Add(p, "BUTTON", t::kRemoveMask, WS_TABSTOP, right + 2 * (buttonWidth + 6), buttonsRow, buttonWidth,
      kButtonHeight, ids::kRemoveMask);

  const int textTop = below + 2 * kRow + 12;
  Add(p, "STATIC", t::kDefinition, 0, 0, textTop, width, kLineHeight);
  const int textHeight = (pageArea_.bottom - pageArea_.top) - textTop - kLineHeight;
  Add(p, "EDIT", "", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
      0, textTop + kLineHeight, width, textHeight, ids::kDefinitionText, WS_EX_CLIENTEDGE);
  // Narrow tab stops, so that deep trees stay readable.
  const UINT tabStop = kDefinitionTabStop;
  SendMessageA(Item(ids::kDefinitionText), EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));
}

void TOptionsDialog::CreateServicePage() {
  const int p = ids::kPageService;
  const TServiceSettings& s = values_.Service;
  AddCheck(p, t::kAutoStart, 0, 0, 400, ids::kAutoStart, s.AutoStart);
  Add(p, "STATIC", t::kCleaningType, 0, 0, kRow + 12 + 3, 130, kLineHeight, ids::kCleaningTypeLabel);
  HWND types = Add(p, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 136, kRow + 12, 300, 200,
                   ids::kCleaningType);
  int selected = -1;
  for (int type = 0; type < kKnownCleaningTypes; ++type) {
    const auto index = SendMessageA(types, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t::kCleaningTypes[type]));
    SendMessageA(types, CB_SETITEMDATA, index, type);
    if (type == s.CleaningType) selected = static_cast<int>(index);
  }
  if (selected < 0) {  // a value of another program stays selectable, and kept
    char text[64];
    std::snprintf(text, sizeof text, t::kOtherCleaningType, static_cast<int>(s.CleaningType));
    const auto index = SendMessageA(types, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(types, CB_SETITEMDATA, index, static_cast<LPARAM>(s.CleaningType));
    selected = static_cast<int>(index);
  }
  SendMessageA(types, CB_SETCURSEL, selected, 0);
  const int row = 2 * kRow + 24;
  Add(p, "STATIC", t::kEvery, 0, 0, row + 3, 130, kLineHeight, ids::kEveryLabel);
  AddEdit(p, 136, row, 90, ids::kEveryInterval, std::to_string(s.EveryInterval));
  Add(p, "STATIC", t::kMinutes, 0, 234, row + 3, 120, kLineHeight, ids::kMinutesLabel);
  Add(p, "STATIC", t::kWhenLess, 0, 0, row + kRow + 8 + 3, 130, kLineHeight, ids::kWhenLessLabel);
  AddEdit(p, 136, row + kRow + 8, 90, ids::kFreeSpaceThreshold,
          std::to_string(s.FreeSpaceThreshold / kBytesPerMiB));
  Add(p, "STATIC", t::kMiB, 0, 234, row + kRow + 8 + 3, 200, kLineHeight, ids::kMiBLabel);
  // Three lines: the note says in words what the agent does with these settings.
  const int width = pageArea_.right - pageArea_.left;
  const int noteTop = row + 2 * kRow + 30;
  Add(p, "STATIC", t::kServiceNote, 0, 0, noteTop, width, 3 * kLineHeight);
  Add(p, "STATIC", "", 0, 0, noteTop + 3 * kLineHeight + 12, width, kLineHeight, ids::kAutomaticState);
  EnableUsedNumbers();
  ShowAutomaticState();
}


}  // namespace pur::options
