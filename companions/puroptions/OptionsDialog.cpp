#include "OptionsDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "OptionsPlatform.h"
#include "OptionsTexts.h"

namespace pur::options {

namespace {

namespace t = texts;

// Client area and its parts, in pixels.
constexpr int kClientWidth = 600;
constexpr int kClientHeight = 472;
constexpr int kMargin = 8;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kRow = 26;         // distance between two lines of controls
constexpr int kLineHeight = 20;  // a check box, a label
constexpr int kEditHeight = 22;
constexpr int kPadding = 10;     // between the tab's border and a page's controls

constexpr UINT kDefinitionTabStop = 12;  // dialog template units
constexpr int32_t kMinRefresh = 10;
constexpr int32_t kMaxRefresh = 60000;
constexpr int32_t kMinPosition = -32768;
constexpr int32_t kMaxPosition = 32767;
constexpr int32_t kMaxInterval = 1000000;
constexpr int kKnownCleaningTypes = 3;
constexpr uint8_t kShownEventBits = 0x1F;

// Dialog template with no controls: everything is made in WM_INITDIALOG, in pixels.
struct TEmptyTemplate {
  DLGTEMPLATE Header;
  WORD Menu, Class, Title;
};

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string Format(const char* format, const std::string& a) {
  std::vector<char> buffer(std::strlen(format) + a.size() + 64);
  std::snprintf(buffer.data(), buffer.size(), format, a.c_str());
  return buffer.data();
}

const char* MaskProblemText(TMaskProblem why) {
  switch (why) {
    case TMaskProblem::Empty: return t::kMaskEmpty;
    case TMaskProblem::TooLong: return t::kMaskTooLong;
    case TMaskProblem::BadCharacter: return t::kMaskBadCharacter;
    case TMaskProblem::LeavesFolder: return t::kMaskLeavesFolder;
    case TMaskProblem::None: break;
  }
  return t::kMaskEmpty;
}

}  // namespace

TOptionsDialog::TOptionsDialog(HMODULE module, TOptionsValues values,
                               std::vector<std::string> protectedFolders)
    : module_(module),
      values_(std::move(values)),
      search_(values_.PersonalSearch),
      protected_(std::move(protectedFolders)) {}

TOptionsDialog::~TOptionsDialog() {
  if (font_) DeleteObject(font_);
  if (bodyBrush_) DeleteObject(bodyBrush_);
}

bool TOptionsDialog::Run(HWND owner) {
  TEmptyTemplate box{};
  box.Header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
  box.Header.cx = 100;
  box.Header.cy = 100;
  if (owner && !IsWindow(owner)) owner = nullptr;
  const INT_PTR result = DialogBoxIndirectParamA(module_, &box.Header, owner, &Proc,
                                                 reinterpret_cast<LPARAM>(this));
  return result == IDOK;
}

INT_PTR CALLBACK TOptionsDialog::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    reinterpret_cast<TOptionsDialog*>(lParam)->hwnd_ = dialog;
  }
  auto* self = reinterpret_cast<TOptionsDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!self) return FALSE;
  // Nothing may escape into the dialog manager: a failure closes the box as a cancel.
  try {
    return self->Handle(message, wParam, lParam);
  } catch (...) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
}

INT_PTR TOptionsDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Create();
      PlaceWindow(GetWindow(hwnd_, GW_OWNER));
      return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return PageBackground(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == static_cast<UINT_PTR>(ids::kTabs) && header->code == TCN_SELCHANGE)
        ShowPage(static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0)));
      if (header->idFrom == static_cast<UINT_PTR>(ids::kTree) &&
          (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW) && !rebuilding_)
        OnPlaceSelected();
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      switch (id) {
        case IDOK: OnOk(); break;
        case IDCANCEL: EndDialog(hwnd_, IDCANCEL); break;
        case ids::kBrowseLocation: OnBrowseLocation(); break;
        case ids::kAddDrive: OnAddDrive(); break;
        case ids::kAddFolder: OnAddFolder(); break;
        case ids::kRemoveNode: OnRemoveNode(); break;
        case ids::kAddMask:
        case ids::kEditMask:
        case ids::kRemoveMask: OnMaskCommand(id); break;
        case ids::kMasks:
          if (code == LBN_SELCHANGE) OnMaskSelected();
          break;
        default: break;
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// ---------------------------------------------------------------------------- building

void TOptionsDialog::Create() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    font_ = CreateFontIndirectA(&metrics.lfMessageFont);

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
  if (font_) SendMessageA(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
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
    if (font_) SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  ShowPage(ids::kPageDisplay);
  RefreshTree(nullptr);
}

// The tab's body may be drawn in another colour than the dialog (themes do): labels and
// check boxes on a page take the colour the tab control actually paints.
void TOptionsDialog::TakeBodyColour() {
  RECT client{};
  GetClientRect(tabs_, &client);
  HDC screen = GetDC(tabs_);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  FillRect(memory, &client, GetSysColorBrush(COLOR_BTNFACE));
  SendMessageA(tabs_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
  POINT inside{(pageArea_.left + pageArea_.right) / 2, pageArea_.bottom - 2};
  MapWindowPoints(hwnd_, tabs_, &inside, 1);
  const COLORREF colour = GetPixel(memory, inside.x, inside.y);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(tabs_, screen);
  bodyColour_ = colour == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : colour;
  bodyBrush_ = CreateSolidBrush(bodyColour_);
}

INT_PTR TOptionsDialog::PageBackground(HDC dc, HWND control) {
  const int id = GetDlgCtrlID(control);
  if (!bodyBrush_ || id == IDOK || id == IDCANCEL || GetParent(control) != hwnd_) return FALSE;
  SetBkColor(dc, bodyColour_);
  return reinterpret_cast<INT_PTR>(bodyBrush_);
}

HWND TOptionsDialog::Add(int page, const char* cls, const char* text, DWORD style, int x, int y,
                         int w, int h, int id, DWORD exStyle) {
  HWND control = CreateWindowExA(exStyle, cls, text, WS_CHILD | style, pageArea_.left + x,
                                 pageArea_.top + y, w, h, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module_, nullptr);
  if (control && font_) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  pages_[static_cast<size_t>(page)].push_back(control);
  return control;
}

HWND TOptionsDialog::AddCheck(int page, const char* text, int x, int y, int w, int id, bool checked) {
  HWND box = Add(page, "BUTTON", text, BS_AUTOCHECKBOX | WS_TABSTOP, x, y, w, kLineHeight, id);
  SendMessageA(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  return box;
}

HWND TOptionsDialog::AddEdit(int page, int x, int y, int w, int id, const std::string& text) {
  shownNumbers_.emplace_back(id, text);
  return Add(page, "EDIT", text.c_str(), ES_AUTOHSCROLL | WS_TABSTOP, x, y, w, kEditHeight, id,
             WS_EX_CLIENTEDGE);
}

void TOptionsDialog::CreateDisplayPage() {
  const int p = ids::kPageDisplay;
  const TDisplaySettings& d = values_.Display;
  AddCheck(p, t::kShowDetail, 0, 0, 400, ids::kShowDetail, d.ShowDetail);
  AddCheck(p, t::kMinimizeToIcon, 0, kRow, 400, ids::kMinimizeToIcon, d.MinimizeToIcon);
  Add(p, "STATIC", t::kRefreshSpeed, 0, 0, 2 * kRow + 3, 220, kLineHeight);
  AddEdit(p, 230, 2 * kRow, 80, ids::kRefreshSpeed, std::to_string(d.RefreshSpeed));
  const int top = 4 * kRow;
  Add(p, "BUTTON", t::kPositionGroup, BS_GROUPBOX, 0, top, 400, 3 * kRow + 10);
  Add(p, "STATIC", t::kPosX, 0, 16, top + 24 + 3, 30, kLineHeight);
  AddEdit(p, 50, top + 24, 80, ids::kPosX, std::to_string(d.PosX));
  Add(p, "STATIC", t::kPosY, 0, 160, top + 24 + 3, 30, kLineHeight);
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
  Add(p, "STATIC", t::kLocation, 0, 0, row, 300, kLineHeight);
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
  Add(p, "STATIC", t::kCleaningType, 0, 0, kRow + 12 + 3, 130, kLineHeight);
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
  Add(p, "STATIC", t::kEvery, 0, 0, row + 3, 130, kLineHeight);
  AddEdit(p, 136, row, 90, ids::kEveryInterval, std::to_string(s.EveryInterval));
  Add(p, "STATIC", t::kMinutes, 0, 234, row + 3, 120, kLineHeight);
  Add(p, "STATIC", t::kWhenLess, 0, 0, row + kRow + 8 + 3, 130, kLineHeight);
  AddEdit(p, 136, row + kRow + 8, 90, ids::kFreeSpaceThreshold,
          std::to_string(s.FreeSpaceThreshold / kBytesPerMiB));
  Add(p, "STATIC", t::kMiB, 0, 234, row + kRow + 8 + 3, 200, kLineHeight);
  Add(p, "STATIC", t::kServiceNote, 0, 0, row + 2 * kRow + 30, 500, kLineHeight);
}

void TOptionsDialog::PlaceWindow(HWND owner) {
  RECT box{};
  GetWindowRect(hwnd_, &box);
  RECT around{};
  if (!owner || !GetWindowRect(owner, &around) || IsIconic(owner))
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &around, 0);
  const int w = box.right - box.left;
  const int h = box.bottom - box.top;
  RECT screen{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0);
  int x = around.left + ((around.right - around.left) - w) / 2;
  int y = around.top + ((around.bottom - around.top) - h) / 2;
  x = std::max<int>(screen.left, std::min<int>(x, screen.right - w));
  y = std::max<int>(screen.top, std::min<int>(y, screen.bottom - h));
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void TOptionsDialog::ShowPage(int page) {
  if (page < 0 || page >= ids::kPageCount) return;
  SendMessageA(tabs_, TCM_SETCURSEL, page, 0);
  for (int other = 0; other < ids::kPageCount; ++other)
    for (HWND control : pages_[static_cast<size_t>(other)])
      ShowWindow(control, other == page ? SW_SHOW : SW_HIDE);
}

// ------------------------------------------------------------------------- search page

void TOptionsDialog::InsertNode(TArborescense& node, HTREEITEM parent, const TArborescense* select,
                                HTREEITEM& found) {
  // Drives show as "C:\", the computer and folders by their names.
  const std::string text = node.GetKind() == kKindDrive ? node.GetPath() : node.GetName();
  TVINSERTSTRUCTA insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(text.c_str());
  insert.item.lParam = reinterpret_cast<LPARAM>(&node);
  HWND tree = Item(ids::kTree);
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  if (&node == select) found = item;
  for (int i = 0; i < node.Count(); ++i) InsertNode(node.ChildNode(i), item, select, found);
  SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

void TOptionsDialog::RefreshTree(const TArborescense* select) {
  HWND tree = Item(ids::kTree);
  rebuilding_ = true;
  SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
  SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  HTREEITEM found = nullptr;
  InsertNode(search_.Root(), TVI_ROOT, select, found);
  if (!found) found = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(found));
  SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(tree, nullptr, TRUE);
  rebuilding_ = false;
  OnPlaceSelected();
  RefreshDefinitionText();
}

TArborescense* TOptionsDialog::CurrentNode() const {
  HWND tree = Item(ids::kTree);
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (!item) return nullptr;
  TVITEMA data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data))) return nullptr;
  return reinterpret_cast<TArborescense*>(data.lParam);
}

TDossier* TOptionsDialog::CurrentPlace() const { return dynamic_cast<TDossier*>(CurrentNode()); }

void TOptionsDialog::OnPlaceSelected() {
  const TArborescense* node = CurrentNode();
  const bool place = dynamic_cast<const TDossier*>(node) != nullptr;
  for (int id : {ids::kMasks, ids::kMaskText, ids::kRecursive, ids::kAddMask, ids::kEditMask, ids::kRemoveMask,
                 ids::kRemoveNode})
    EnableWindow(Item(id), place);
  RefreshMasks(-1);
}

void TOptionsDialog::RefreshMasks(int select) {
  HWND list = Item(ids::kMasks);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  TDossier* place = CurrentPlace();
  if (place) {
    const TMasqueList& masks = place->GetMasks();
    for (int i = 0; i < masks.Count(); ++i)
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(masks.GetItem(i)->ToText().c_str()));
  }
  SendMessageA(list, LB_SETCURSEL, select, 0);
  if (select >= 0) OnMaskSelected();
}

void TOptionsDialog::RefreshDefinitionText() {
  SetWindowTextA(Item(ids::kDefinitionText), WithCrLf(search_.Text()).c_str());
}

void TOptionsDialog::OnMaskSelected() {
  TDossier* place = CurrentPlace();
  const int index = static_cast<int>(SendMessageA(Item(ids::kMasks), LB_GETCURSEL, 0, 0));
  if (!place || index < 0 || index >= place->GetMasks().Count()) return;
  const TMasque& mask = *place->GetMasks().GetItem(index);
  SetWindowTextA(Item(ids::kMaskText), mask.Text.c_str());
  SendMessageA(Item(ids::kRecursive), BM_SETCHECK, mask.Recursive ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TOptionsDialog::OnAddDrive() {
  HWND drives = Item(ids::kDrives);
  const auto index = SendMessageA(drives, CB_GETCURSEL, 0, 0);
  char drive[MAX_PATH] = {};
  if (index < 0 || SendMessageA(drives, CB_GETLBTEXTLEN, index, 0) >= MAX_PATH ||
      SendMessageA(drives, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(drive)) <= 0)
    return;
  if (TDisque* node = search_.AddDrive(drive[0])) RefreshTree(node);
}

void TOptionsDialog::OnAddFolder() {
  const TArborescense* node = CurrentNode();
  const std::string start = dynamic_cast<const TDossier*>(node) ? node->GetPath() : std::string();
  const std::optional<std::string> folder = PickFolder(hwnd_, t::kPickSearchFolder, start);
  if (!folder) return;
  TDossier* added = search_.AddFolder(*folder);
  if (!added) {
    Complain(t::kBadFolder, ids::kPageSearch, ids::kTree);
    return;
  }
  RefreshTree(added);
}

void TOptionsDialog::OnRemoveNode() {
  TArborescense* node = CurrentNode();
  if (!dynamic_cast<TDossier*>(node)) return;
  // Select the parent afterwards; the computer does not name itself as a drive's parent.
  const TArborescense* parent = dynamic_cast<const TArborescense*>(node->GetParent());
  if (node->GetKind() == kKindDrive) parent = &search_.Root();
  if (search_.Remove(node)) RefreshTree(parent);
}

void TOptionsDialog::ReportMaskEdit(TMaskEdit result, TMaskProblem why) {
  switch (result) {
    case TMaskEdit::Refused: Complain(MaskProblemText(why), ids::kPageSearch, ids::kMaskText); break;
    case TMaskEdit::Duplicate: Complain(t::kMaskDuplicate, ids::kPageSearch, ids::kMaskText); break;
    case TMaskEdit::NoPlace: Complain(t::kChooseMask, ids::kPageSearch, ids::kMasks); break;
    case TMaskEdit::Done: break;
  }
}

void TOptionsDialog::OnMaskCommand(int id) {
  TDossier* place = CurrentPlace();
  if (!place) {
    Complain(t::kChoosePlace, ids::kPageSearch, ids::kTree);
    return;
  }
  const std::string text = Text(ids::kMaskText);
  const bool recursive = Checked(ids::kRecursive);
  const int index = static_cast<int>(SendMessageA(Item(ids::kMasks), LB_GETCURSEL, 0, 0));
  TMaskProblem why = TMaskProblem::None;
  TMaskEdit result = TMaskEdit::Done;
  int select = index;
  if (id == ids::kAddMask) {
    result = search_.AddMask(*place, text, recursive, &why);
    select = place->GetMasks().Count() - 1;
  } else if (id == ids::kEditMask) {
    result = search_.EditMask(*place, index, text, recursive, &why);
  } else {
    result = search_.RemoveMask(*place, index);
    select = -1;
  }
  if (result != TMaskEdit::Done) {
    ReportMaskEdit(result, why);
    return;
  }
  RefreshMasks(select);
  if (id == ids::kRemoveMask) SetWindowTextA(Item(ids::kMaskText), "");
  RefreshDefinitionText();
}

// ------------------------------------------------------------------------------ closing

void TOptionsDialog::OnBrowseLocation() {
  if (std::optional<std::string> folder = PickFolder(hwnd_, t::kPickJournalFolder, Text(ids::kLocation)))
    SetWindowTextA(Item(ids::kLocation), WithTrailingBackslash(*folder).c_str());
}

void TOptionsDialog::Complain(const std::string& text, int page, int id) {
  ShowPage(page);
  MessageBoxA(hwnd_, text.c_str(), t::kCaption, MB_OK | MB_ICONWARNING);
  if (HWND control = Item(id)) SetFocus(control);
}

bool TOptionsDialog::ReadNumber(int page, int id, const char* label, int32_t low, int32_t high,
                                int32_t original, int32_t& out) {
  const std::string text = Text(id);
  for (const auto& [shownId, shown] : shownNumbers_)
    if (shownId == id && shown == text) {
      out = original;  // untouched: the stored value stays, whatever its range
      return true;
    }
  if (std::optional<int32_t> value = ParseNumber(text, low, high)) {
    out = *value;
    return true;
  }
  std::string label_ = label;
  while (!label_.empty() && (label_.back() == ':' || label_.back() == ' ')) label_.pop_back();
  char message[512];
  std::snprintf(message, sizeof message, t::kBadNumber, label_.c_str(), static_cast<int>(low),
                static_cast<int>(high));
  Complain(message, page, id);
  return false;
}

bool TOptionsDialog::Collect(TOptionsValues& out) {
  const TOptionsValues& in = values_;
  out = in;
  out.Display.ShowDetail = Checked(ids::kShowDetail);
  out.Display.MinimizeToIcon = Checked(ids::kMinimizeToIcon);
  if (!ReadNumber(ids::kPageDisplay, ids::kRefreshSpeed, t::kRefreshSpeed, kMinRefresh, kMaxRefresh,
                  in.Display.RefreshSpeed, out.Display.RefreshSpeed) ||
      !ReadNumber(ids::kPageDisplay, ids::kPosX, t::kPosX, kMinPosition, kMaxPosition, in.Display.PosX,
                  out.Display.PosX) ||
      !ReadNumber(ids::kPageDisplay, ids::kPosY, t::kPosY, kMinPosition, kMaxPosition, in.Display.PosY,
                  out.Display.PosY))
    return false;

  out.Cleaning.EmptyRecycleBin = Checked(ids::kEmptyRecycleBin);
  out.Cleaning.EmptyTempFolder = Checked(ids::kEmptyTempFolder);
  out.Cleaning.RunPersonalSearch = Checked(ids::kRunPersonalSearch);
  out.Cleaning.SendToRecycleBin = Checked(ids::kSendToRecycleBin);
  out.Cleaning.ConfirmDelete = Checked(ids::kConfirmDelete);
  out.Cleaning.TestMode = Checked(ids::kTestMode);
  for (int value = 0; value < ids::kReadOnlyHiddenChoices; ++value)
    if (Checked(ids::kReadOnlyHidden0 + value)) out.Cleaning.ReadOnlyHiddenMode = value;

  out.Journal.Enabled = Checked(ids::kJournalEnabled);
  out.Journal.NewEachSearch = Checked(ids::kNewEachSearch);
  uint8_t events = static_cast<uint8_t>(in.Journal.Events & ~kShownEventBits);  // bits we do not show stay
  for (int bit = 0; bit < ids::kEventCount; ++bit)
    if (Checked(ids::kEventFirst + bit)) events = static_cast<uint8_t>(events | (1u << bit));
  out.Journal.Events = events;
  std::string location = Text(ids::kLocation);
  while (!location.empty() && location.back() == ' ') location.pop_back();
  if (location.empty()) {
    Complain(t::kEmptyLocation, ids::kPageJournal, ids::kLocation);
    return false;
  }
  out.Journal.Location = WithTrailingBackslash(location);

  out.Service.AutoStart = Checked(ids::kAutoStart);
  HWND types = Item(ids::kCleaningType);
  const auto selected = SendMessageA(types, CB_GETCURSEL, 0, 0);
  if (selected >= 0) out.Service.CleaningType = static_cast<int32_t>(SendMessageA(types, CB_GETITEMDATA, selected, 0));
  int32_t thresholdMiB = 0;
  if (!ReadNumber(ids::kPageService, ids::kEveryInterval, t::kEvery, 1, kMaxInterval, in.Service.EveryInterval,
                  out.Service.EveryInterval) ||
      !ReadNumber(ids::kPageService, ids::kFreeSpaceThreshold, t::kWhenLess, 0, kMaxThresholdMiB, -1,
                  thresholdMiB))
    return false;
  out.Service.FreeSpaceThreshold = thresholdMiB < 0 ? in.Service.FreeSpaceThreshold : thresholdMiB * kBytesPerMiB;

  out.PersonalSearch = search_.Bytes();
  return true;
}

bool TOptionsDialog::ConfirmDangerousMasks() {
  if (!search_.Changed()) return true;
  const std::vector<TDangerousMask> found = search_.FindDangerous(protected_);
  if (found.empty()) return true;
  std::string list;
  for (const TDangerousMask& danger : found) list += "    " + danger.Path + "  " + danger.Mask + "\n";
  ShowPage(ids::kPageSearch);
  const UINT style = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2;
  if (MessageBoxA(hwnd_, Format(t::kDangerFirst, list).c_str(), t::kDangerCaption, style) != IDYES) return false;
  return MessageBoxA(hwnd_, t::kDangerSecond, t::kDangerCaption, style) == IDYES;
}

void TOptionsDialog::OnOk() {
  TOptionsValues edited;
  if (!Collect(edited) || !ConfirmDangerousMasks()) return;
  values_ = std::move(edited);
  EndDialog(hwnd_, IDOK);
}

std::string TOptionsDialog::Text(int id) const {
  HWND control = Item(id);
  const int length = GetWindowTextLengthA(control);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(control, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

bool TOptionsDialog::Checked(int id) const {
  return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace pur::options
