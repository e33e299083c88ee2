// about.dll: a modal French about box built in code (no dialog resource), filled from the
// version block of the executable whose path it receives.
#define PUR_ABOUT_BUILDING
#include "about.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "GdiOwners.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

using pur::TBitmap;
using pur::TFont;
using pur::TIcon;
using pur::TSelection;
using pur::TWindowDC;

// User-visible texts (UTF-8, the program's ANSI code page).
constexpr char kTitlePrefix[] = "À propos de ";
constexpr char kVersionPrefix[] = "Version ";
constexpr char kOkCaption[] = "&Ok";

// The French block the product's programs carry; any other file gets its first translation.
constexpr char kPreferredTranslation[] = "040C04E4";

// Layout in pixels.
constexpr int kMargin = 12;
constexpr int kGap = 8;
constexpr int kIconSize = 32;
constexpr int kMaxPicture = 200;  // a larger picture is shown reduced
constexpr int kTextMinWidth = 240;  // the text column: as wide as its longest line, within
constexpr int kTextMaxWidth = 420;  // these bounds (longer lines wrap)
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kSeparatorHeight = 2;
constexpr int kTitleFontScale = 3;  // the product name at 3/2 of the dialog font, bold
constexpr int kTitleFontDivisor = 2;

HINSTANCE OwnModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

struct TVersionTexts {
  std::string Product;
  std::string Version;
  std::string Copyright;
};

class TVersionBlock {
 public:
  explicit TVersionBlock(const std::string& path) {
    if (path.empty()) return;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0) return;
    Data_ = std::make_unique<char[]>(size);
    if (!GetFileVersionInfoA(path.c_str(), handle, size, Data_.get())) Data_.reset();
  }

  bool Valid() const { return Data_ != nullptr; }

  // The value from the French block, else from the first translation's block.
  std::string Value(const char* name) const {
    std::string text;
    if (Query(kPreferredTranslation, name, text)) return text;
    std::string first = FirstTranslation();
    if (!first.empty() && Query(first.c_str(), name, text)) return text;
    return std::string();
  }

  // "a.b.c.d" from the fixed part.
  std::string FixedFileVersion() const {
    void* data = nullptr;
    UINT length = 0;
    char root[] = "\\";
    if (!Valid() || !VerQueryValueA(Data_.get(), root, &data, &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
      return std::string();
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(data);
    char text[48];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u",
                  static_cast<unsigned>(HIWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned>(LOWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned>(HIWORD(fixed->dwFileVersionLS)),
                  static_cast<unsigned>(LOWORD(fixed->dwFileVersionLS)));
    return text;
  }

 private:
  bool Query(const char* block, const char* name, std::string& out) const {
    if (!Valid()) return false;
    std::string path = std::string("\\StringFileInfo\\") + block + "\\" + name;
    void* data = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(Data_.get(), path.data(), &data, &length) || data == nullptr) return false;
    const char* text = static_cast<const char*>(data);
    out.assign(text, strnlen(text, length));
    return true;
  }

  std::string FirstTranslation() const {
    void* data = nullptr;
    UINT length = 0;
    char path[] = "\\VarFileInfo\\Translation";
    if (!Valid() || !VerQueryValueA(Data_.get(), path, &data, &length) || length < 4)
      return std::string();
    WORD pair[2];
    std::memcpy(pair, data, sizeof pair);
    char text[16];
    std::snprintf(text, sizeof text, "%04X%04X", static_cast<unsigned>(pair[0]),
                  static_cast<unsigned>(pair[1]));
    return text;
  }

  std::unique_ptr<char[]> Data_;
};

std::string FileNamePart(const std::string& path) {
  size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

TVersionTexts ReadVersionTexts(const std::string& path) {
  TVersionBlock block(path);
  TVersionTexts texts;
  texts.Product = block.Value("ProductName");
  if (texts.Product.empty()) texts.Product = FileNamePart(path);
  std::string version = block.Value("FileVersion");
  if (version.empty()) version = block.FixedFileVersion();
  if (!version.empty()) texts.Version = kVersionPrefix + version;
  texts.Copyright = block.Value("LegalCopyright");
  return texts;
}

struct TAboutState {
  std::string Title;
  TVersionTexts Texts;
  std::string Comments;
  std::string ExePath;
  HBITMAP Picture = nullptr;  // the caller's; never freed here
  TBitmap ReducedPicture;     // ours, when the caller's is too large
  TFont TitleFont;
  TIcon Icon;
};

// The caller's picture when it is a real bitmap; a stale or foreign handle shows none.
HBITMAP PictureFrom(int32_t bitmap) {
  if (bitmap == kAboutNoPicture || bitmap == 0) return nullptr;
  auto handle = reinterpret_cast<HBITMAP>(static_cast<intptr_t>(bitmap));
  BITMAP info{};
  if (GetObjectType(handle) != OBJ_BITMAP || GetObjectA(handle, sizeof info, &info) == 0)
    return nullptr;
  return handle;
}

HFONT DialogFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

HFONT MakeTitleFont() {
  LOGFONTA font{};
  GetObjectA(DialogFont(), sizeof font, &font);
  font.lfHeight = font.lfHeight * kTitleFontScale / kTitleFontDivisor;
  font.lfWeight = FW_BOLD;
  return CreateFontIndirectA(&font);
}

// Height the text takes at `width` in `font`, word-wrapped.
int TextHeight(HWND window, HFONT font, const std::string& text, int width) {
  if (text.empty()) return 0;
  const TWindowDC dc(window);
  const TSelection selection(dc.Get(), font);
  RECT rect{0, 0, width, 0};
  DrawTextA(dc.Get(), text.c_str(), static_cast<int>(text.size()), &rect,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  return rect.bottom - rect.top;
}

HWND AddControl(HWND dialog, const char* cls, const std::string& text, DWORD style, int id,
                RECT place, HFONT font) {
  HWND control = CreateWindowExA(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.left,
                                 place.top, place.right - place.left, place.bottom - place.top,
                                 dialog, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)),
                                 OwnModule(), nullptr);
  if (control) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

// Width of the text on one line in `font`.
int LineWidth(HWND window, HFONT font, const std::string& text) {
  if (text.empty()) return 0;
  const TWindowDC dc(window);
  const TSelection selection(dc.Get(), font);
  RECT rect{0, 0, 0, 0};
  DrawTextA(dc.Get(), text.c_str(), static_cast<int>(text.size()), &rect,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  return rect.right - rect.left;
}

int TextColumnWidth(HWND dialog, const TAboutState& state, HFONT font, HFONT titleFont) {
  int width = LineWidth(dialog, titleFont, state.Texts.Product);
  for (const std::string* text : {&state.Texts.Version, &state.Texts.Copyright, &state.Comments})
    width = std::max(width, LineWidth(dialog, font, *text));
  return std::clamp(width + kGap, kTextMinWidth, kTextMaxWidth);
}

// Adds a word-wrapped label at `top` and answers the top of the next line.
int AddLabel(HWND dialog, const std::string& text, int id, int left, int top,
             int width, HFONT font) {
  int height = TextHeight(dialog, font, text, width);
  if (height == 0) return top;
  AddControl(dialog, "STATIC", text, SS_LEFT | SS_NOPREFIX, id,
             {left, top, left + width, top + height}, font);
  return top + height + kGap / 2;
}

// Client width that shows the whole title in the caption, beside the close button.
int CaptionWidth(HWND dialog, const std::string& title) {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return 0;
  const TFont captionFont(CreateFontIndirectA(&metrics.lfCaptionFont));
  if (!captionFont) return 0;
  return LineWidth(dialog, captionFont.Get(), title) + 2 * kMargin +
         2 * GetSystemMetrics(SM_CXSIZE);
}

// Sizes the client area and centres the box over its owner (or the screen).
void PlaceDialog(HWND dialog, int clientWidth, int clientHeight) {
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, GetWindowLongA(dialog, GWL_STYLE), FALSE,
                     GetWindowLongA(dialog, GWL_EXSTYLE));
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  HWND owner = GetWindow(dialog, GW_OWNER);
  if (owner && IsWindowVisible(owner)) GetWindowRect(owner, &area);
  int x = std::max(0L, area.left + (area.right - area.left - width) / 2);
  int y = std::max(0L, area.top + (area.bottom - area.top - height) / 2);
  SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Shows the caller's picture at the left, reduced to fit kMaxPicture when larger; answers the
// column's size.
SIZE AddPicture(HWND dialog, TAboutState& state) {
  BITMAP info{};
  GetObjectA(state.Picture, sizeof info, &info);
  SIZE size{info.bmWidth, std::abs(info.bmHeight)};
  HBITMAP shown = state.Picture;
  const int longest = std::max(size.cx, size.cy);
  if (longest > kMaxPicture) {
    size = {std::max(1L, size.cx * kMaxPicture / longest),
            std::max(1L, size.cy * kMaxPicture / longest)};
    state.ReducedPicture.Reset(
        static_cast<HBITMAP>(CopyImage(state.Picture, IMAGE_BITMAP, size.cx, size.cy, 0)));
    if (!state.ReducedPicture.Get()) return {};
    shown = state.ReducedPicture.Get();
  }
  HWND picture = AddControl(dialog, "STATIC", "", SS_BITMAP, idAboutPicture,
                            {kMargin, kMargin, kMargin + size.cx, kMargin + size.cy},
                            DialogFont());
  SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(shown));
  SetWindowPos(picture, nullptr, kMargin, kMargin, size.cx, size.cy,
               SWP_NOZORDER | SWP_NOACTIVATE);
  return size;
}

// Shows the executable's first icon at the left when it has one; answers the column's size.
SIZE AddIcon(HWND dialog, TAboutState& state) {
  HICON icon = ExtractIconA(OwnModule(), state.ExePath.c_str(), 0);
  if (icon == reinterpret_cast<HICON>(1)) return {};  // "not an executable file"
  state.Icon.Reset(icon);
  if (!icon) return {};
  HWND control = AddControl(dialog, "STATIC", "", SS_ICON, idAboutIcon,
                            {kMargin, kMargin, kMargin + kIconSize, kMargin + kIconSize},
                            DialogFont());
  SendMessageA(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  return {kIconSize, kIconSize};
}

void BuildDialog(HWND dialog, TAboutState& state) {
  SetWindowTextA(dialog, state.Title.c_str());
  HFONT font = DialogFont();
  state.TitleFont.Reset(MakeTitleFont());
  HFONT titleFont = state.TitleFont.Get() ? state.TitleFont.Get() : font;

  // Left column: the caller's picture, else the program's own icon.
  SIZE column = state.Picture ? AddPicture(dialog, state) : AddIcon(dialog, state);
  int columnBottom = kMargin + column.cy;

  // Right column: the texts.
  int left = kMargin + (column.cx ? column.cx + 2 * kGap : 0);
  int width = TextColumnWidth(dialog, state, font, titleFont);
  int top = kMargin;
  top = AddLabel(dialog, state.Texts.Product, idAboutProduct, left, top, width, titleFont);
  top += kGap / 2;
  top = AddLabel(dialog, state.Texts.Version, idAboutVersion, left, top, width, font);
  top = AddLabel(dialog, state.Texts.Copyright, idAboutCopyright, left, top, width, font);
  top += kGap;
  top = AddLabel(dialog, state.Comments, idAboutComments, left, top, width, font);

  int clientWidth = std::max(left + width + kMargin, CaptionWidth(dialog, state.Title));
  int separatorTop = std::max(top, columnBottom) + kGap;
  AddControl(dialog, "STATIC", "", SS_ETCHEDHORZ, -1,
             {kMargin, separatorTop, clientWidth - kMargin, separatorTop + kSeparatorHeight}, font);
  int buttonTop = separatorTop + kSeparatorHeight + kGap + 2;
  HWND ok = AddControl(dialog, "BUTTON", kOkCaption, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK,
                       {clientWidth - kMargin - kButtonWidth, buttonTop,
                        clientWidth - kMargin, buttonTop + kButtonHeight},
                       font);
  PlaceDialog(dialog, clientWidth, buttonTop + kButtonHeight + kMargin);
  SetFocus(ok);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    switch (message) {
      case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        BuildDialog(dialog, *reinterpret_cast<TAboutState*>(lParam));
        return FALSE;  // focus set on the button already
      case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
          EndDialog(dialog, LOWORD(wParam));
          return TRUE;
        }
        return FALSE;
      default:
        return FALSE;
    }
  } catch (...) {
    // Never let an exception unwind through the system's dialog code.
    EndDialog(dialog, IDABORT);
    return TRUE;
  }
}

// An in-memory dialog with no controls; BuildDialog places them in pixels.
struct alignas(4) TEmptyTemplate {
  DLGTEMPLATE Header;
  WORD Menu;
  WORD Class;
  WORD Title;
};

int32_t RunAboutBox(HWND parent, const char* exePath, const char* comments, int32_t bitmap) {
  TAboutState state;
  state.ExePath = exePath ? exePath : "";
  state.Comments = comments ? comments : "";
  state.Texts = ReadVersionTexts(state.ExePath);
  state.Title = kTitlePrefix + state.Texts.Product;
  state.Picture = PictureFrom(bitmap);
  if (parent && !IsWindow(parent)) parent = nullptr;

  TEmptyTemplate box{};
  box.Header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK;
  box.Header.cx = 10;
  box.Header.cy = 10;
  INT_PTR result = DialogBoxIndirectParamA(OwnModule(), &box.Header, parent, &AboutProc,
                                           reinterpret_cast<LPARAM>(&state));
  return result == IDOK || result == IDCANCEL ? 1 : 0;
}

}  // namespace

extern "C" PUR_ABOUT_API int32_t __stdcall OpenChildAbout(HWND parent, const char* exePath,
                                                          const char* comments, int32_t bitmap) {
  try {
    return RunAboutBox(parent, exePath, comments, bitmap);
  } catch (...) {
    return 0;
  }
}
