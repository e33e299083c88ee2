#include "uFileList.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <optional>
#include <queue>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include <windowsx.h>

#include <cstdio>

#include "FileListReading.h"
#include "GdiOwners.h"
#include "KeepList.h"
#include "WinOwners.h"
#include "uUserMainPrgm_Format.h"

namespace pur {

namespace {

constexpr int kFontPoints = 8;
constexpr int kPointsPerInch = 72;
constexpr char kFontName[] = "MS Sans Serif";
constexpr int kUnchecked = 1;  // state image indexes of a check box list view
constexpr int kChecked = 2;
constexpr int kNameColumn = 0;
constexpr int kSizeColumn = 1;
constexpr int kAttributeColumn = 2;
constexpr UINT_PTR kListViewSubclassId = 1;
constexpr UINT_PTR kStartReaderTimer = 1;

struct ControlPlace {
  int left, top, width, height;
};
constexpr ControlPlace kListViewPlace{8, 8, 617, 241};
constexpr ControlPlace kButtonOkPlace{392, 256, 75, 25};
constexpr ControlPlace kButtonCancelPlace{472, 256, 75, 25};
constexpr ControlPlace kButtonHelpPlace{552, 256, 75, 25};

constexpr DWORD kDialogStyle =
    DS_MODALFRAME | DS_CONTEXTHELP | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP;

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
  int pixelsPerInch = 96;
  if (const TWindowDC screen(nullptr); screen) pixelsPerInch = GetDeviceCaps(screen.Get(), LOGPIXELSY);
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

void EnsureCommonControls() {
  INITCOMMONCONTROLSEX init{};
  init.dwSize = sizeof(init);
  init.dwICC = ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&init);
}

}  // namespace

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

namespace {

// The system's sort key of a text, in a buffer kept from one text to the next. Through the
// wide call: lstrcmpA compares the texts converted from the ANSI code page, while
// LCMapStringA (under Wine) converts them with the locale's code page instead.
class SortKeyMaker {
 public:
  std::string_view KeyOf(const std::string& text) {
    // No code page gives more UTF-16 units than bytes.
    wide_.resize(text.size() + 1);
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           wide_.data(), static_cast<int>(text.size()));
    wide_[static_cast<size_t>(std::max(length, 0))] = L'\0';
    int size = MapToKey();
    if (size == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
      key_.resize(static_cast<size_t>(
          LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, wide_.data(), -1, nullptr, 0)));
      size = MapToKey();
    }
    return std::string_view(key_.data(), static_cast<size_t>(std::max(size, 0)));
  }

 private:
  int MapToKey() {
    return LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, wide_.data(), -1,
                        reinterpret_cast<LPWSTR>(key_.data()), static_cast<int>(key_.size()));
  }

  std::wstring wide_;
  std::string key_ = std::string(1024, '\0');
};

// How many bytes two keys share at their start, eight at a time: the keys of paths share
// long beginnings, and the runtime's memcmp goes byte by byte.
size_t SharedLength(std::string_view a, std::string_view b) {
  const size_t length = std::min(a.size(), b.size());
  size_t at = 0;
  for (; at + sizeof(uint64_t) <= length; at += sizeof(uint64_t)) {
    uint64_t x = 0;
    uint64_t y = 0;
    std::memcpy(&x, a.data() + at, sizeof(x));
    std::memcpy(&y, b.data() + at, sizeof(y));
    // Little-endian: the lowest set bit of the difference lies in the first differing byte.
    if (x != y) return at + static_cast<size_t>(__builtin_ctzll(x ^ y)) / 8;
  }
  while (at < length && a[at] == b[at]) ++at;
  return at;
}

// Orders keys as their bytes compare unsigned, a key before those it begins.
int CompareKeys(std::string_view a, std::string_view b) {
  const size_t at = SharedLength(a, b);
  if (at < a.size() && at < b.size()) {
    return static_cast<unsigned char>(a[at]) < static_cast<unsigned char>(b[at]) ? -1 : 1;
  }
  return (a.size() > b.size()) - (a.size() < b.size());
}

// Sort keys in their order, each with the index of its name, stored front-coded: a key is
// written as the length it shares with the key before it and the bytes after that. Sorted
// paths share long beginnings, so a run holds a fraction of the bytes of its keys.
class KeyRun {
 public:
  void Append(std::string_view key, uint32_t index) {
    const size_t shared = SharedLength(key, last_);
    PutNumber(shared);
    PutNumber(key.size() - shared);
    bytes_.append(key.substr(shared));
    PutNumber(index);
    last_.assign(key);
  }
  // Done appending: gives back the spare room.
  void Close() {
    last_ = std::string();
    bytes_.shrink_to_fit();
  }

  // Reads a run back, key by key; the run's bytes go as soon as it is read to the end.
  class Reader {
   public:
    explicit Reader(KeyRun&& run) : bytes_(std::move(run.bytes_)) {}
    bool Next() {
      if (at_ >= bytes_.size()) {
        bytes_ = std::string();
        return false;
      }
      const size_t shared = GetNumber();
      const size_t rest = GetNumber();
      key_.resize(shared);
      key_.append(bytes_, at_, rest);
      at_ += rest;
      index_ = static_cast<uint32_t>(GetNumber());
      return true;
    }
    const std::string& Key() const { return key_; }
    uint32_t Index() const { return index_; }

   private:
    size_t GetNumber() {
      size_t value = 0;
      for (int shift = 0; at_ < bytes_.size(); shift += 7) {
        const auto byte = static_cast<unsigned char>(bytes_[at_++]);
        value |= static_cast<size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) break;
      }
      return value;
    }

    std::string bytes_;
    size_t at_ = 0;
    std::string key_;
    uint32_t index_ = 0;
  };

 private:
  void PutNumber(size_t value) {
    while (value >= 0x80) {
      bytes_.push_back(static_cast<char>((value & 0x7F) | 0x80));
      value >>= 7;
    }
    bytes_.push_back(static_cast<char>(value));
  }

  std::string bytes_;
  std::string last_;
};

// The eight bytes of a key from `depth` on, as one number that orders as they do; bytes past
// the end of the key count as zeros.
uint64_t WordAt(std::string_view key, size_t depth) {
  uint64_t word = 0;
  if (depth + sizeof(word) <= key.size()) {
    std::memcpy(&word, key.data() + depth, sizeof(word));
    return __builtin_bswap64(word);
  }
  for (size_t at = depth; at < depth + sizeof(word); ++at) {
    word = (word << 8) | (at < key.size() ? static_cast<unsigned char>(key[at]) : 0u);
  }
  return word;
}

// The keys of one stretch of names at a time, so that the keys of all the names (two to
// three times the bytes of the names) are never held at once. They are sorted three ways on
// eight bytes at a time (multikey quicksort): the long beginnings that the keys of paths
// share are gone through once, not at every comparison.
class ChunkSorter {
 public:
  explicit ChunkSorter(const StringList& names) : names_(names) {}

  KeyRun Sort(uint32_t first, uint32_t last) {
    keys_.clear();
    starts_.clear();
    for (uint32_t i = first; i < last; ++i) {
      starts_.push_back(keys_.size());
      keys_.append(maker_.KeyOf(names_[i]));
    }
    starts_.push_back(keys_.size());
    const auto count = static_cast<uint32_t>(last - first);
    // What all the keys begin with (the folder, mostly) decides nothing.
    size_t shared = Key(0).size();
    for (uint32_t k = 1; k < count; ++k) shared = std::min(shared, SharedLength(Key(0), Key(k)));
    items_.resize(count);
    for (uint32_t k = 0; k < count; ++k) items_[k] = {WordAt(Key(k), shared), k};
    SortItems(items_.data(), items_.data() + count, shared, kDepthBudget);
    KeyRun run;
    for (const Item& item : items_) run.Append(Key(item.key), first + item.key);
    run.Close();
    return run;
  }

 private:
  struct Item {
    uint64_t word;  // the eight bytes of the key being sorted on
    uint32_t key;   // index in the stretch
  };
  static constexpr ptrdiff_t kFewItems = 16;
  static constexpr int kDepthBudget = 64;  // nested partitions before a plain sort

  std::string_view Key(uint32_t k) const {
    return std::string_view(keys_).substr(starts_[k], starts_[k + 1] - starts_[k]);
  }

  // The whole order from `depth` on; equal keys by index, as a stable sort leaves them.
  bool Before(const Item& a, const Item& b, size_t depth) const {
    const int c = CompareKeys(Key(a.key).substr(depth), Key(b.key).substr(depth));
    return c != 0 ? c < 0 : a.key < b.key;
  }

  // Sorts items whose keys agree on their first `depth` bytes and whose words hold the
  // eight bytes after those.
  void SortItems(Item* first, Item* last, size_t depth, int budget) {
    while (last - first > 1) {
      if (last - first <= kFewItems || budget == 0) {
        std::sort(first, last, [&](const Item& a, const Item& b) { return Before(a, b, depth); });
        return;
      }
      const uint64_t pivot = MedianWord(first, last);
      Item* below = first;
      Item* above = last;
      for (Item* item = first; item < above;) {
        if (item->word < pivot) {
          std::swap(*below++, *item++);
        } else if (item->word > pivot) {
          std::swap(*item, *--above);
        } else {
          ++item;
        }
      }
      SortItems(first, below, depth, budget - 1);
      SortItems(above, last, depth, budget - 1);
      // The keys between agree on eight bytes more, or ended within them: an ended key
      // comes before the longer ones, shorter first, equal keys by index.
      Item* going = std::partition(below, above, [&](const Item& item) {
        return Key(item.key).size() <= depth + sizeof(uint64_t);
      });
      std::sort(below, going, [this](const Item& a, const Item& b) {
        const size_t sizeA = Key(a.key).size();
        const size_t sizeB = Key(b.key).size();
        return sizeA != sizeB ? sizeA < sizeB : a.key < b.key;
      });
      first = going;
      last = above;
      depth += sizeof(uint64_t);
      for (Item* item = first; item != last; ++item) item->word = WordAt(Key(item->key), depth);
    }
  }

  static uint64_t MedianWord(const Item* first, const Item* last) {
    const uint64_t a = first->word;
    const uint64_t b = first[(last - first) / 2].word;
    const uint64_t c = (last - 1)->word;
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
  }

  const StringList& names_;
  SortKeyMaker maker_;
  std::string keys_;
  std::vector<size_t> starts_;
  std::vector<Item> items_;
};

size_t ChunkSize(size_t count) {
  constexpr size_t kChunks = 16;
  constexpr size_t kSmallest = 1024;
  constexpr size_t kLargest = 65536;
  return std::clamp(count / kChunks, kSmallest, kLargest);
}

// Sorts the names stretch by stretch into runs, on two threads where there are two cores:
// making the keys is most of the work.
std::vector<KeyRun> SortIntoRuns(const StringList& names) {
  const size_t chunk = ChunkSize(names.size());
  const size_t count = (names.size() + chunk - 1) / chunk;
  std::vector<KeyRun> runs(count);
  std::atomic<size_t> next{0};
  auto work = [&] {
    ChunkSorter sorter(names);
    for (size_t c = next++; c < count; c = next++) {
      const auto first = static_cast<uint32_t>(c * chunk);
      const auto last = static_cast<uint32_t>(std::min(names.size(), (c + 1) * chunk));
      runs[c] = sorter.Sort(first, last);
    }
  };
  std::exception_ptr helperError;
  std::thread helper;
  if (count > 1 && std::thread::hardware_concurrency() > 1) {
    try {
      helper = std::thread([&] {
        try {
          work();
        } catch (...) {
          helperError = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // No second thread: this one does all the stretches.
    }
  }
  try {
    work();
  } catch (...) {
    next = count;
    if (helper.joinable()) helper.join();
    throw;
  }
  if (helper.joinable()) helper.join();
  if (helperError) std::rethrow_exception(helperError);
  return runs;
}

// Merges the runs into one order. Equal keys come from the earlier run first, and each run
// holds a stretch of indexes after those of the runs before it: equal names keep the
// caller's order.
std::vector<uint32_t> MergeRuns(std::vector<KeyRun> runs, size_t total) {
  std::vector<KeyRun::Reader> readers;
  readers.reserve(runs.size());
  for (KeyRun& run : runs) readers.emplace_back(std::move(run));
  runs.clear();
  auto after = [&readers](size_t a, size_t b) {
    const int c = CompareKeys(readers[a].Key(), readers[b].Key());
    return c != 0 ? c > 0 : a > b;
  };
  std::priority_queue<size_t, std::vector<size_t>, decltype(after)> heap(after);
  for (size_t r = 0; r < readers.size(); ++r) {
    if (readers[r].Next()) heap.push(r);
  }
  std::vector<uint32_t> order;
  order.reserve(total);
  while (!heap.empty()) {
    const size_t r = heap.top();
    heap.pop();
    order.push_back(readers[r].Index());
    if (readers[r].Next()) heap.push(r);
  }
  return order;
}

}  // namespace

std::vector<uint32_t> SortKeyOrder(const StringList& names) {
  if (names.size() > UINT32_MAX) throw std::length_error("too many names for the file list");
  return MergeRuns(SortIntoRuns(names), names.size());
}

namespace {

// The wide form of a text to show or search, in the ANSI code page.
std::wstring WideText(std::string_view text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(static_cast<size_t>(std::max(
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          static_cast<int>(wide.size())),
      0)));
  return wide;
}

// Whether `text` begins with `prefix` (or is `prefix`, when `whole`), letter case aside.
bool StartsWithText(const std::string& text, const std::wstring& prefix, bool whole) {
  // No character of an ANSI code page takes more than four bytes.
  const size_t enough = whole ? text.size() : prefix.size() * 4 + 4;
  std::wstring head = WideText(std::string_view(text).substr(0, enough));
  if (whole ? head.size() != prefix.size() : head.size() < prefix.size()) return false;
  head.resize(prefix.size());
  std::wstring lowerPrefix = prefix;
  CharLowerBuffW(head.data(), static_cast<DWORD>(head.size()));
  CharLowerBuffW(lowerPrefix.data(), static_cast<DWORD>(lowerPrefix.size()));
  return head == lowerPrefix;
}

template <typename Char>
void CopyText(const std::string& text, Char* buffer, int size);

template <>
void CopyText(const std::string& text, char* buffer, int size) {
  lstrcpynA(buffer, text.c_str(), size);
}

template <>
void CopyText(const std::string& text, wchar_t* buffer, int size) {
  lstrcpynW(buffer, WideText(text).c_str(), size);
}

}  // namespace

namespace {

constexpr UINT_PTR kSettleTimer = 2;
constexpr UINT kSettleTick = 100;  // ms between two looks at the settling
constexpr ControlPlace kProgressPlace{8, 262, 376, 16};
// The error box around the entry and the reason Record gave.
constexpr char kKeepErrorBefore[] = "« ";
constexpr char kKeepErrorAfter[] = " » n'a pas pu être ajouté à la liste « Toujours garder ».\n\n";

using TMenu = TOwner<TFreedBy<HMENU, DestroyMenu>>;

std::shared_ptr<RowTable> MakeRows(StringList names) {
  std::vector<uint32_t> order = SortKeyOrder(names);
  return std::make_shared<RowTable>(std::move(names), std::move(order));
}

// A count with its thousands apart, as French writes it ("1 000 000").
std::string Grouped(size_t value) {
  std::string digits = std::to_string(value);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, " ");
  return digits;
}

std::wstring WideFrom(UINT codePage, const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(static_cast<size_t>(std::max(
      MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          static_cast<int>(wide.size())),
      0)));
  return wide;
}

// The folder of a row's name with its final '\'; empty for a name without one.
std::string_view FolderOf(std::string_view name) {
  const size_t slash = name.rfind('\\');
  return slash == std::string_view::npos ? std::string_view() : name.substr(0, slash + 1);
}

}  // namespace

TListFileForm::TListFileForm(StringList names, HWND mainForm, const TReviewKeeping* keeping)
    : rows_(MakeRows(std::move(names))), mainForm_(mainForm), keeping_(keeping) {}

TListFileForm::~TListFileForm() { StopReaders(); }

bool TListFileForm::ShowModal() {
  EnsureCommonControls();
  const TFont font(CreateDialogFont());
  font_ = font.Get();
  const std::vector<DWORD> dialogTemplate = EmptyDialogTemplate();
  const INT_PTR result = DialogBoxIndirectParamA(
      GetModuleHandleA(nullptr), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
      mainForm_, &TListFileForm::DialogProc, reinterpret_cast<LPARAM>(this));
  StopReaders();
  font_ = nullptr;
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
  if (result == -1) throw std::runtime_error("cannot show the file list dialog");
  return result == kButtonOkId;
}

StringList TListFileForm::TakeAccepted() { return rows_->NamesOf(std::exchange(accepted_, {})); }

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

// The list view keeps no ticks of a virtual list: a tick set through it goes to the rows.
LRESULT CALLBACK TListFileForm::ListViewProc(HWND listView, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* form = reinterpret_cast<TListFileForm*>(data);
  if (message == LVM_SETITEMSTATE && lParam != 0) {
    const auto& item = *reinterpret_cast<const LVITEMA*>(lParam);
    if (item.stateMask & LVIS_STATEIMAGEMASK) {
      if (!form->SetTicksFromState(static_cast<int>(wParam), item.state)) return FALSE;
      LVITEMA rest = item;
      rest.stateMask &= ~LVIS_STATEIMAGEMASK;
      if (rest.stateMask == 0) return TRUE;
      return DefSubclassProc(listView, message, wParam, reinterpret_cast<LPARAM>(&rest));
    }
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(listView, &TListFileForm::ListViewProc, kListViewSubclassId);
  }
  return DefSubclassProc(listView, message, wParam, lParam);
}

INT_PTR TListFileForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_NOTIFY: {
      const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
      LRESULT result = 0;
      if (header.hwndFrom != listView_ || !OnNotify(header, result)) return FALSE;
      SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kButtonOkId:
          OnOk();
          return TRUE;
        case kButtonCancelId:
          EndDialog(dialog_, kButtonCancelId);
          return TRUE;
        default:
          return FALSE;  // the help button has no action
      }
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) != listView_) return FALSE;
      OnContextMenu(lParam);
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog_, kButtonCancelId);
      return TRUE;
    case WM_HELP:
      return TRUE;
    case WM_TIMER:
      if (wParam == kStartReaderTimer) {
        KillTimer(dialog_, kStartReaderTimer);
        settler_->Start();
      } else if (wParam == kSettleTimer) {
        settler_->GiveUpStalled();
        OnSettleStep();
      }
      return TRUE;
    case kRowsReadMessage:
      rowReader_->Handled();
      InvalidateRect(listView_, nullptr, FALSE);
      if (settling_) OnSettleStep();
      return TRUE;
    case kGroupedMessage:
      settler_->OnGrouped();
      if (settling_) OnSettleStep();
      return TRUE;
    case kFoldersReadMessage:
      settler_->Handled();
      if (settling_) OnSettleStep();
      return TRUE;
    case WM_DESTROY:
      StopReaders();
      return FALSE;
    default:
      return FALSE;
  }
}

namespace {

// What a virtual list view asks of a row, answered from what is known of it; a row not yet
// read is asked for, shows no size or letters, and shows unticked.
template <typename Item>
void FillItem(const RowTable& rows, TRowReader& reader, Item& item) {
  if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= rows.Count()) return;
  const auto row = static_cast<size_t>(item.iItem);
  if ((item.mask & LVIF_TEXT) && item.pszText != nullptr && item.cchTextMax > 0) {
    std::string text;
    switch (item.iSubItem) {
      case kNameColumn:
        text = rows.Caption(row);
        break;
      case kSizeColumn:
        if (const std::optional<int64_t> size = rows.Size(row)) {
          text = FormatSize(*size);
        } else {
          reader.Request(row);
        }
        break;
      case kAttributeColumn:
        if (std::optional<std::string> letters = rows.Letters(row)) {
          text = std::move(*letters);
        } else {
          reader.Request(row);
        }
        break;
      default:
        break;
    }
    CopyText(text, item.pszText, item.cchTextMax);
  }
  if ((item.mask & LVIF_STATE) && (item.stateMask & LVIS_STATEIMAGEMASK)) {
    if (!rows.Known(row)) reader.Request(row);
    item.state = (item.state & ~LVIS_STATEIMAGEMASK) |
                 INDEXTOSTATEIMAGEMASK(rows.Ticked(row) ? kChecked : kUnchecked);
  }
}

// The row from `start` on (around to the top when `wrap`) whose name begins with the text
// typed into the list view, as the list view itself searches its own rows.
int FindRow(const RowTable& rows, const std::wstring& text, UINT flags, int start) {
  if (!(flags & (LVFI_STRING | LVFI_PARTIAL)) || rows.Count() == 0) return -1;
  const bool whole = !(flags & LVFI_PARTIAL);
  const size_t count = rows.Count();
  const size_t first = start < 0 || static_cast<size_t>(start) >= count ? 0 : static_cast<size_t>(start);
  const size_t span = (flags & LVFI_WRAP) ? count : count - first;
  for (size_t k = 0; k < span; ++k) {
    const size_t row = (first + k) % count;
    if (StartsWithText(rows.Caption(row), text, whole)) return static_cast<int>(row);
  }
  return -1;
}

}  // namespace

// The list view's questions and the user's clicks and keys on it; false for the others.
bool TListFileForm::OnNotify(const NMHDR& header, LRESULT& result) {
  switch (header.code) {
    case LVN_GETDISPINFOA:
      FillItem(*rows_, *rowReader_, const_cast<NMLVDISPINFOA&>(reinterpret_cast<const NMLVDISPINFOA&>(header)).item);
      return true;
    case LVN_GETDISPINFOW:
      FillItem(*rows_, *rowReader_, const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item);
      return true;
    case NM_CLICK: {
      // A click on the box ticks or unticks; the second click of a double click does not.
      LVHITTESTINFO hit{};
      hit.pt = reinterpret_cast<const NMITEMACTIVATE&>(header).ptAction;
      SendMessageA(listView_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
      if (hit.iItem >= 0 && (hit.flags & LVHT_ONITEMSTATEICON)) ToggleTick(hit.iItem);
      return true;
    }
    case NM_RCLICK: {
      // The menu at the row clicked; answered, so that no WM_CONTEXTMENU follows.
      if (keeping_ == nullptr) return false;
      const auto& click = reinterpret_cast<const NMITEMACTIVATE&>(header);
      if (click.iItem >= 0 && !settling_) {
        POINT screen = click.ptAction;
        ClientToScreen(listView_, &screen);
        ShowKeepMenu(click.iItem, screen);
      }
      result = TRUE;
      return true;
    }
    case LVN_KEYDOWN:
      if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_SPACE) {
        ToggleTick(static_cast<int>(
            SendMessageA(listView_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)));
      }
      return true;
    case LVN_ODFINDITEMA: {
      const auto& find = reinterpret_cast<const NMLVFINDITEMA&>(header);
      result = FindRow(*rows_, WideText(find.lvfi.psz ? find.lvfi.psz : ""), find.lvfi.flags,
                       find.iStart);
      return true;
    }
    case LVN_ODFINDITEMW: {
      const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
      result = FindRow(*rows_, find.lvfi.psz ? find.lvfi.psz : L"", find.lvfi.flags, find.iStart);
      return true;
    }
    default:
      return false;
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
  notifier_ = std::make_shared<Notifier>(dialog_);
  rowReader_ = std::make_unique<TRowReader>(rows_, notifier_);
  settler_ = std::make_unique<TFolderSettler>(rows_, notifier_);
  CreateControls();
  SendMessageA(listView_, LVM_SETITEMCOUNT, rows_->Count(), 0);
  // The listings start once the dialog has painted: they would slow down the reading of the
  // first rows (under Wine all file calls queue at one server).
  SetTimer(dialog_, kStartReaderTimer, USER_TIMER_MINIMUM, nullptr);
  SendMessageA(dialog_, DM_SETDEFID, kButtonOkId, 0);
}

void TListFileForm::CreateControls() {
  // The list view owns its image lists (no shared-lists style): the check-box images it
  // makes must go with it, or every show would keep its bitmaps.
  listView_ = CreateChild(dialog_, WC_LISTVIEWA, "",
                          WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_OWNERDATA, kListViewPlace,
                          kListViewFileId, font_);
  if (!SetWindowSubclass(listView_, &TListFileForm::ListViewProc, kListViewSubclassId,
                         reinterpret_cast<DWORD_PTR>(this))) {
    throw std::runtime_error("cannot subclass the file list");
  }
  SendMessageA(listView_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
  // The ticks are asked for with the rows (LVN_GETDISPINFO), so LVM_GETITEMSTATE answers them.
  SendMessageA(listView_, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
  int index = 0;
  for (const TFileListColumn& columnDef : kFileListColumns) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(columnDef.title);
    column.cx = columnDef.width;
    column.iSubItem = index;
    SendMessageA(listView_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&column));
    ++index;
  }
  // Shown only while OK waits for the starting ticks, in the free room left of the buttons.
  progress_ = CreateChild(dialog_, "STATIC", "", SS_LEFT | SS_NOPREFIX, kProgressPlace,
                          kProgressLabelId, font_);
  ShowWindow(progress_, SW_HIDE);
  CreateChild(dialog_, "BUTTON", kButtonOkCaption, WS_TABSTOP | BS_DEFPUSHBUTTON, kButtonOkPlace,
              kButtonOkId, font_);
  CreateChild(dialog_, "BUTTON", kButtonCancelCaption, WS_TABSTOP | BS_PUSHBUTTON,
              kButtonCancelPlace, kButtonCancelId, font_);
  CreateChild(dialog_, "BUTTON", kButtonHelpCaption, WS_TABSTOP | BS_PUSHBUTTON,
              kButtonHelpPlace, kButtonHelpId, font_);
}

// OK answers with the ticks of every row, so the starting ticks of the rows not yet read
// must be settled first: the dialog waits for them while it goes on answering, and the
// ticks are frozen meanwhile. Cancel still closes it at once.
void TListFileForm::OnOk() {
  if (settling_) return;
  settling_ = true;
  KillTimer(dialog_, kStartReaderTimer);
  settler_->Start();
  settler_->OnGrouped();  // when it has grouped already
  HWND ok = GetDlgItem(dialog_, kButtonOkId);
  if (GetFocus() == ok) SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(listView_), TRUE);
  EnableWindow(ok, FALSE);
  SetTimer(dialog_, kSettleTimer, kSettleTick, nullptr);
  OnSettleStep();
}

void TListFileForm::OnSettleStep() {
  if (!settling_) return;
  if (rows_->Decided() < rows_->Count()) {
    ShowProgress();
    return;
  }
  KillTimer(dialog_, kSettleTimer);
  settling_ = false;
  accepted_.clear();
  for (size_t row = 0; row < rows_->Count(); ++row) {
    if (rows_->Ticked(row)) accepted_.push_back(static_cast<uint32_t>(row));
  }
  EndDialog(dialog_, kButtonOkId);
}

void TListFileForm::ShowProgress() {
  char text[128];
  std::snprintf(text, sizeof(text), kProgressFormat, Grouped(rows_->Decided()).c_str(),
                Grouped(rows_->Count()).c_str());
  if (progressText_ == text) return;
  progressText_ = text;
  SetWindowTextA(progress_, text);
  if (!IsWindowVisible(progress_)) ShowWindow(progress_, SW_SHOWNA);
}

void TListFileForm::StopReaders() {
  if (notifier_) notifier_->Close();
  if (rowReader_) rowReader_->Stop();
  if (settler_) settler_->Stop();
}

void TListFileForm::ToggleTick(int row) {
  if (settling_ || row < 0 || static_cast<size_t>(row) >= rows_->Count()) return;
  rows_->SetTicked(static_cast<size_t>(row), !rows_->Ticked(static_cast<size_t>(row)));
  SendMessageA(listView_, LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
}

// A tick set through LVM_SETITEMSTATE: on one row, or on all of them for row -1.
bool TListFileForm::SetTicksFromState(int row, UINT state) {
  if (settling_) return false;
  const bool on = (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(kChecked);
  if (row == -1) {
    for (size_t r = 0; r < rows_->Count(); ++r) rows_->SetTicked(r, on);
    InvalidateRect(listView_, nullptr, FALSE);
    return true;
  }
  if (row < 0 || static_cast<size_t>(row) >= rows_->Count()) return false;
  rows_->SetTicked(static_cast<size_t>(row), on);
  SendMessageA(listView_, LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
  return true;
}

// The context menu of the list: at the row under the mouse, or for the keyboard (-1) at the
// focused row.
void TListFileForm::OnContextMenu(LPARAM at) {
  if (keeping_ == nullptr || settling_) return;
  POINT screen{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  int row = -1;
  if (at == -1) {
    row = static_cast<int>(SendMessageA(listView_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    RECT label{};
    label.left = LVIR_LABEL;
    if (row < 0 || !SendMessageA(listView_, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                                 reinterpret_cast<LPARAM>(&label))) {
      return;
    }
    screen = {label.left, label.bottom};
    ClientToScreen(listView_, &screen);
  } else {
    LVHITTESTINFO hit{};
    hit.pt = screen;
    ScreenToClient(listView_, &hit.pt);
    row = static_cast<int>(SendMessageA(listView_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  }
  if (row >= 0) ShowKeepMenu(row, screen);
}

void TListFileForm::ShowKeepMenu(int row, POINT screen) {
  const std::string& name = rows_->Caption(static_cast<size_t>(row));
  const std::string folder(FolderOf(name));
  const TMenu menu(CreatePopupMenu());
  if (!menu) return;
  AppendMenuA(menu.Get(), MF_STRING | (folder.empty() ? MF_GRAYED : 0), kKeepFolderCommand, kKeepFolderItem);
  AppendMenuA(menu.Get(), MF_STRING, kKeepFileCommand, kKeepFileItem);
  const int command = TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                     screen.x, screen.y, 0, dialog_, nullptr);
  if (command == kKeepFolderCommand) Keep(folder);
  if (command == kKeepFileCommand) Keep(name);
}

// Records the entry; once it is stored, every row it keeps is unticked at once.
void TListFileForm::Keep(const std::string& entry) {
  std::string error;
  bool recorded = false;
  try {
    recorded = keeping_->Record && keeping_->Record(entry, error);
  } catch (const std::exception& failure) {
    error = failure.what();
  }
  if (!recorded) {
    const std::wstring message = WideFrom(CP_UTF8, kKeepErrorBefore) + WideFrom(CP_ACP, entry) +
                                 WideFrom(CP_UTF8, kKeepErrorAfter) + WideFrom(CP_ACP, error);
    MessageBoxW(dialog_, message.c_str(), WideFrom(CP_UTF8, kListFileCaption).c_str(), MB_OK | MB_ICONERROR);
    return;
  }
  UntickKept(TKeepList({entry}), entry);
  InvalidateRect(listView_, nullptr, FALSE);
}

// Unticks every row the entry keeps. An entry keeps a file by its folder and, for a file
// entry, its name: each folder is asked about once, and only the names of a folder it holds
// are asked about one by one. Folders come from the settler's grouping once it is done, else
// from runs of names in one folder. A file entry whose name would not match itself (a
// trailing dot) sends every name through the keep list.
void TListFileForm::UntickKept(const TKeepList& keep, const std::string& entry) {
  const bool byFolder = !entry.empty() && entry.back() == '\\';
  const bool folderFirst = byFolder || keep.KeepsFile(entry);
  const std::string leaf = byFolder ? std::string("x") : entry.substr(FolderOf(entry).size());
  auto folderKept = [&](std::string_view folder) { return keep.KeepsFile(std::string(folder).append(leaf)); };
  auto untick = [&](uint32_t row, const std::string& name) {
    if (byFolder || keep.KeepsFile(name)) rows_->SetTicked(row, false);
  };
  if (folderFirst && settler_->Grouped()) {
    for (size_t folder = 0; folder < settler_->Folders(); ++folder) {
      const std::span<const uint32_t> rows = settler_->RowsOf(folder);
      if (rows.empty() || !folderKept(FolderOf(rows_->Caption(rows[0])))) continue;
      for (const uint32_t row : rows) untick(row, rows_->Caption(row));
    }
    return;
  }
  std::string_view lastFolder;
  bool lastKept = false;
  bool first = true;
  rows_->ForEachByName([&](uint32_t row, const std::string& name) {
    if (folderFirst) {
      const std::string_view folder = FolderOf(name);
      if (first || folder != lastFolder) {
        lastKept = folderKept(folder);
        lastFolder = folder;
        first = false;
      }
      if (!lastKept) return;
    }
    untick(row, name);
  });
}

void ShowFileList(StringList& list, HWND mainForm, const TReviewKeeping* keeping) {
  StringList names = std::move(list);
  list.clear();
  TListFileForm form(std::move(names), mainForm, keeping);
  if (form.ShowModal()) list = form.TakeAccepted();
}

}  // namespace pur
