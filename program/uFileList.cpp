#include "uFileList.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace pur {

namespace {

constexpr int kFontPoints = 8;
constexpr int kPointsPerInch = 72;
constexpr char kFontName[] = "MS Sans Serif";
constexpr int kUnchecked = 1;  // state image indexes of a check box list view
constexpr int kChecked = 2;
constexpr int kStateImageShift = 12;
constexpr int kSizeColumn = 1;
constexpr int kAttributeColumn = 2;

struct ControlPlace {
  int left, top, width, height;
};
constexpr ControlPlace kListViewPlace{8, 8, 617, 241};
constexpr ControlPlace kButtonOkPlace{392, 256, 75, 25};
constexpr ControlPlace kButtonCancelPlace{472, 256, 75, 25};
constexpr ControlPlace kButtonHelpPlace{552, 256, 75, 25};

struct ColumnSpec {
  const char* title;
  int width;
};
constexpr ColumnSpec kColumns[] = {
    {kColumnName, 425}, {kColumnSize, 100}, {kColumnAttributes, 88}};

constexpr DWORD kDialogStyle =
    DS_MODALFRAME | DS_CONTEXTHELP | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP;

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct FontDeleter {
  void operator()(HFONT font) const { DeleteObject(font); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// An empty dialog template: the controls are made in pixels when the dialog starts.
// A template holds words and must be aligned to a double word.
std::vector<DWORD> EmptyDialogTemplate() {
  std::vector<DWORD> storage((sizeof(DLGTEMPLATE) + 3 * sizeof(WORD) + sizeof(DWORD) - 1) /
                                 sizeof(DWORD) +
                             1,
                             0);
  auto* dialog = reinterpret_cast<DLGTEMPLATE*>(storage.data());
  dialog->style = kDialogStyle;
  dialog->dwExtendedStyle = kDialogExStyle;
  dialog->cdit = 0;
  // No menu, the standard class and an empty title follow the header as three zero words.
  return storage;
}

HFONT CreateDialogFont() {
  HDC screen = GetDC(nullptr);
  const int pixelsPerInch = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return CreateFontA(-MulDiv(kFontPoints, pixelsPerInch, kPointsPerInch), 0, 0, 0, FW_NORMAL,
                     FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kFontName);
}

HWND CreateChild(HWND dialog, const char* className, const char* text, DWORD style,
                 const ControlPlace& place, int id, HFONT font) {
  HWND child = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, place.left,
                               place.top, place.width, place.height, dialog,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleA(nullptr), nullptr);
  if (child == nullptr) throw std::runtime_error(std::string("cannot create ") + className);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

void SetSubItem(HWND listView, int index, int column, const std::string& text) {
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text.c_str());
  SendMessageA(listView, LVM_SETITEMTEXTA, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(&item));
}

void SetChecked(HWND listView, int index, bool checked) {
  LVITEMA item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? kChecked : kUnchecked);
  SendMessageA(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(&item));
}

bool IsChecked(HWND listView, int index) {
  const auto state = static_cast<UINT>(
      SendMessageA(listView, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_STATEIMAGEMASK));
  return (state >> kStateImageShift) == kChecked;
}

LPARAM ItemParam(HWND listView, int index) {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  SendMessageA(listView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item.lParam;
}

void EnsureCommonControls() {
  INITCOMMONCONTROLSEX init{};
  init.dwSize = sizeof(init);
  init.dwICC = ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&init);
}

bool CaptionBefore(const FileRow& a, const FileRow& b) {
  return lstrcmpA(a.caption.c_str(), b.caption.c_str()) < 0;
}

// Through the wide call: lstrcmpA compares the texts converted from the ANSI code page,
// while LCMapStringA (under Wine) converts them with the locale's code page instead.
std::string SortKeyOf(const std::string& text) {
  const int length = static_cast<int>(text.size());
  std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), static_cast<int>(wide.size()));
  const int size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, wide.c_str(), -1, nullptr, 0);
  if (size <= 0) return {};
  std::string key(static_cast<size_t>(size), '\0');
  LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, wide.c_str(), -1,
               reinterpret_cast<LPWSTR>(key.data()), size);
  return key;
}

// Whether `order` (indexes into rows) is the stable lstrcmpA order: each caption not
// before its predecessor, and equal captions in the caller's order.
bool IsStableCaptionOrder(const std::vector<FileRow>& rows, const std::vector<size_t>& order) {
  for (size_t i = 1; i < order.size(); ++i) {
    const int c = lstrcmpA(rows[order[i - 1]].caption.c_str(), rows[order[i]].caption.c_str());
    if (c > 0 || (c == 0 && order[i - 1] > order[i])) return false;
  }
  return true;
}

}  // namespace

namespace {

// The wide form of a path in the ANSI code page; the wide calls also reach files below
// folders deeper than MAX_PATH. Empty when the text is not valid in that code page.
std::wstring WidePath(const std::string& name) {
  const int length = static_cast<int>(name.size());
  const int needed = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), length, wide.data(), needed);
  return wide;
}

}  // namespace

int64_t GetFileSizeOf(const std::string& name) {
  const std::wstring wide = WidePath(name);
  if (wide.empty()) return 0;
  FileHandle file(CreateFileW(wide.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return 0;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return 0;
  return size.QuadPart;
}

std::string FileAttrLetters(const std::string& name) {
  const std::wstring wide = WidePath(name);
  return AttrLettersOf(wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str()));
}

void CenterOnMainForm(HWND form, HWND mainForm) {
  if (mainForm == nullptr || form == nullptr) return;
  RECT main{};
  RECT own{};
  if (!GetWindowRect(mainForm, &main) || !GetWindowRect(form, &own)) return;
  const WindowPlace place =
      CenterOver(main.left, main.top, main.right - main.left, main.bottom - main.top,
                 own.right - own.left, own.bottom - own.top, GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN));
  SetWindowPos(form, nullptr, place.left, place.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<FileRow> MakeFileRows(const StringList& names) {
  std::vector<FileRow> rows;
  rows.reserve(names.size());
  for (const std::string& name : names) {
    FileRow row;
    row.caption = name;
    row.size = FormatSize(GetFileSizeOf(name));
    row.attributes = FileAttrLetters(name);
    row.ticked = StartsTicked(row.attributes);
    rows.push_back(std::move(row));
  }
  SortRowsByCaption(rows);
  return rows;
}

std::vector<size_t> SortKeyOrder(const std::vector<FileRow>& rows) {
  std::vector<std::string> keys;
  keys.reserve(rows.size());
  for (const FileRow& row : rows) keys.push_back(SortKeyOf(row.caption));
  std::vector<size_t> order(rows.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
  return order;
}

void SortRowsByCaption(std::vector<FileRow>& rows) {
  // lstrcmpA on every comparison costs seconds for 100 000 names under Wine; the system's
  // sort keys give the same order in one pass per name. The result is checked with
  // lstrcmpA in one linear pass, and sorted with lstrcmpA itself should they ever differ.
  std::vector<size_t> order = SortKeyOrder(rows);
  if (!IsStableCaptionOrder(rows, order)) {
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&rows](size_t a, size_t b) { return CaptionBefore(rows[a], rows[b]); });
  }
  std::vector<FileRow> sorted;
  sorted.reserve(rows.size());
  for (const size_t i : order) sorted.push_back(std::move(rows[i]));
  rows = std::move(sorted);
}

void FillFileListView(HWND listView, const std::vector<FileRow>& rows) {
  SendMessageA(listView, WM_SETREDRAW, FALSE, 0);
  SendMessageA(listView, LVM_SETITEMCOUNT, rows.size(), 0);
  const int first = static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
  for (size_t i = 0; i < rows.size(); ++i) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = first + static_cast<int>(i);
    item.pszText = const_cast<char*>(rows[i].caption.c_str());
    item.lParam = static_cast<LPARAM>(i);
    const int index = static_cast<int>(
        SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) throw std::runtime_error("cannot add a row to the file list");
    SetSubItem(listView, index, kSizeColumn, rows[i].size);
    SetSubItem(listView, index, kAttributeColumn, rows[i].attributes);
    SetChecked(listView, index, rows[i].ticked);
  }
  SendMessageA(listView, WM_SETREDRAW, TRUE, 0);
}


TListFileForm::TListFileForm(std::vector<FileRow> rows, HWND mainForm)
    : rows_(std::move(rows)), mainForm_(mainForm) {}

bool TListFileForm::ShowModal() {
  EnsureCommonControls();
  FontHandle font(CreateDialogFont());
  font_ = font.get();
  const std::vector<DWORD> dialogTemplate = EmptyDialogTemplate();
  const INT_PTR result = DialogBoxIndirectParamA(
      GetModuleHandleA(nullptr), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
      mainForm_, &TListFileForm::DialogProc, reinterpret_cast<LPARAM>(this));
  font_ = nullptr;
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
  if (result == -1) throw std::runtime_error("cannot show the file list dialog");
  return result == kButtonOkId;
}

INT_PTR CALLBACK TListFileForm::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                          LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* form = reinterpret_cast<TListFileForm*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    form->dialog_ = dialog;
  }
  auto* form = reinterpret_cast<TListFileForm*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (form == nullptr) return FALSE;
  // No C++ exception may unwind through the dialog manager: keep it for ShowModal.
  try {
    return form->OnMessage(message, wParam, lParam);
  } catch (...) {
    form->error_ = std::current_exception();
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
}

INT_PTR TListFileForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kButtonOkId:
          ReadAccepted();
          EndDialog(dialog_, kButtonOkId);
          return TRUE;
        case kButtonCancelId:
          EndDialog(dialog_, kButtonCancelId);
          return TRUE;
        default:
          return FALSE;  // the help button has no action
      }
    case WM_CLOSE:
      EndDialog(dialog_, kButtonCancelId);
      return TRUE;
    case WM_HELP:
      return TRUE;
    default:
      return FALSE;
  }
}

void TListFileForm::OnInit() {
  SetWindowTextA(dialog_, kListFileCaption);
  RECT frame{0, 0, kListFileClientWidth, kListFileClientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(dialog_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(dialog_, GWL_EXSTYLE)));
  SetWindowPos(dialog_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  CenterOnMainForm(dialog_, mainForm_);
  CreateControls();
  FillFileListView(listView_, rows_);
  SendMessageA(dialog_, DM_SETDEFID, kButtonOkId, 0);
}

void TListFileForm::CreateControls() {
  // The list view owns its image lists (no shared-lists style): the check-box images it
  // makes must go with it, or every show would keep its bitmaps.
  listView_ = CreateChild(dialog_, WC_LISTVIEWA, "", WS_TABSTOP | WS_BORDER | LVS_REPORT,
                          kListViewPlace, kListViewFileId, font_);
  SendMessageA(listView_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
  int index = 0;
  for (const ColumnSpec& columnDef : kColumns) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(columnDef.title);
    column.cx = columnDef.width;
    column.iSubItem = index;
    SendMessageA(listView_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&column));
    ++index;
  }
  CreateChild(dialog_, "BUTTON", kButtonOkCaption, WS_TABSTOP | BS_DEFPUSHBUTTON, kButtonOkPlace,
              kButtonOkId, font_);
  CreateChild(dialog_, "BUTTON", kButtonCancelCaption, WS_TABSTOP | BS_PUSHBUTTON,
              kButtonCancelPlace, kButtonCancelId, font_);
  CreateChild(dialog_, "BUTTON", kButtonHelpCaption, WS_TABSTOP | BS_PUSHBUTTON,
              kButtonHelpPlace, kButtonHelpId, font_);
}

void TListFileForm::ReadAccepted() {
  accepted_.clear();
  const int count = static_cast<int>(SendMessageA(listView_, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    if (!IsChecked(listView_, i)) continue;
    const auto row = static_cast<size_t>(ItemParam(listView_, i));
    if (row < rows_.size()) accepted_.push_back(rows_[row].caption);
  }
}

void ShowFileList(StringList& list, HWND mainForm) {
  TListFileForm form(MakeFileRows(list), mainForm);
  list.clear();
  if (form.ShowModal()) list = form.Accepted();
}

}  // namespace pur
