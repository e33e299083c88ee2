#include "LumexLED.h"

#include <cstring>
#include <memory>

#include "GdiOwners.h"
#include "WindowBinding.h"

namespace pur {

namespace {

constexpr TColor kSystemColorFlag = 0x80000000u;
constexpr TColor kSystemColorIndexMask = 0xFFu;
constexpr int kBitsPerPixel = 24;

class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Describes a top-down 24-bit DIB, the layout of Bitmap24.
BITMAPINFO DibInfo(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = kBitsPerPixel;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// Horizontal runs of set pixels, one rectangle each.
std::vector<RECT> RowRuns(const PixelMask& mask) {
  std::vector<RECT> runs;
  for (int y = 0; y < mask.Height(); ++y) {
    int x = 0;
    while (x < mask.Width()) {
      if (!mask.Test(x, y)) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < mask.Width() && mask.Test(x, y)) ++x;
      runs.push_back({start, y, x, y + 1});
    }
  }
  return runs;
}

// The control's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window, HWND parent) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

TColor ColorToRGB(TColor color) {
  if (color & kSystemColorFlag)
    return static_cast<TColor>(GetSysColor(static_cast<int>(color & kSystemColorIndexMask)));
  return PlainColorToRGB(color);
}

Bitmap24 BitmapFromGdi(HBITMAP bitmap) {
  BITMAP header{};
  if (bitmap == nullptr || GetObjectA(bitmap, sizeof(header), &header) == 0) return {};
  Bitmap24 picture(header.bmWidth, std::abs(header.bmHeight));
  if (picture.Empty()) return picture;
  BITMAPINFO info = DibInfo(picture.Width(), picture.Height());
  const TWindowDC screen(nullptr);
  if (GetDIBits(screen.Get(), bitmap, 0, static_cast<UINT>(picture.Height()), picture.Bits(),
                &info, DIB_RGB_COLORS) == 0)
    return {};
  return picture;
}

bool TLumexLED::Register() {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExA(instance, kLumexLEDClassName, &existing)) return true;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &TLumexLED::WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszClassName = kLumexLEDClassName;
  return RegisterClassExA(&wc) != 0;
}

HWND TLumexLED::Create(HWND parent, int left, int top, int id) {
  if (!Register()) return nullptr;
  return CreateWindowExA(0, kLumexLEDClassName, "", WS_CHILD | WS_VISIBLE, left, top,
                         LumexLEDModel::kInitialWidth, LumexLEDModel::kInitialHeight, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleA(nullptr), nullptr);
}

TLumexLED* TLumexLED::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  char name[sizeof(kLumexLEDClassName) + 1] = {};
  if (GetClassNameA(window, name, sizeof(name)) == 0 || std::strcmp(name, kLumexLEDClassName) != 0)
    return nullptr;
  return WindowObject<TLumexLED>(window);
}

TLumexLED::TLumexLED(HWND window) : window_(window), lamp_(this, &ColorToRGB) {}

void TLumexLED::SetBorderSubstance(HBITMAP picture) {
  const Bitmap24 copy = BitmapFromGdi(picture);
  lamp_.SetBorderSubstance(&copy);
}

void TLumexLED::SetLedPlasticSubstance(HBITMAP picture) {
  const Bitmap24 copy = BitmapFromGdi(picture);
  lamp_.SetLedPlasticSubstance(&copy);
}

LRESULT CALLBACK TLumexLED::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* control = new (std::nothrow) TLumexLED(window);
    if (control == nullptr) return FALSE;
    BindWindowObject(window, control);
  }
  auto* control = WindowObject<TLumexLED>(window);
  if (control == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    BindWindowObject(window, nullptr);
    delete control;
    return DefWindowProcA(window, message, wParam, lParam);
  }
  // No C++ exception may unwind through the system's dispatcher.
  try {
    return control->OnMessage(message, wParam, lParam);
  } catch (...) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
}

LRESULT TLumexLED::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      lamp_.HandleCreated();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // opaque: the picture covers the whole window
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SIZE:
      DefWindowProcA(window_, message, wParam, lParam);
      lamp_.HandleSize(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_MOVE:
      DefWindowProcA(window_, message, wParam, lParam);
      lamp_.HandleMove();
      return 0;
    default:
      return DefWindowProcA(window_, message, wParam, lParam);
  }
}

void TLumexLED::Paint() {
  PaintScope paint(window_);
  if (GetParent(window_) != nullptr && lamp_.TakeHaloErase()) EraseHaloArea();
  const Bitmap24& image = lamp_.Image();
  if (!image.Empty()) {
    BITMAPINFO info = DibInfo(image.Width(), image.Height());
    SetDIBitsToDevice(paint.Dc(), 0, 0, static_cast<DWORD>(image.Width()),
                      static_cast<DWORD>(image.Height()), 0, 0, 0,
                      static_cast<UINT>(image.Height()), image.Bits(), &info, DIB_RGB_COLORS);
  }
  if (lamp_.DrawsHalo()) PaintHalo();
}

// The parent repaints the glow's ellipse (without its children) so an old glow goes away.
void TLumexLED::EraseHaloArea() {
  const HWND parent = GetParent(window_);
  const int grow = lamp_.GaloSize();
  const RECT rect = RectInParent(window_, parent);
  const TRegion area(CreateEllipticRgn(rect.left - grow, rect.top - grow, rect.right + grow,
                                       rect.bottom + grow));
  if (!area) return;
  RedrawWindow(parent, nullptr, area.Get(),
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_NOCHILDREN);
}

// The glow is added to whatever the screen shows around the control.
void TLumexLED::PaintHalo() {
  const int grow = lamp_.GaloSize();
  POINT origin{0, 0};
  ClientToScreen(window_, &origin);
  RECT client{};
  GetClientRect(window_, &client);
  const int width = client.right + 2 * grow;
  const int height = client.bottom + 2 * grow;
  const int left = origin.x - grow;
  const int top = origin.y - grow;

  const HWND desktop = GetDesktopWindow();
  const TWindowDC screen(desktop);
  if (!screen) return;
  BITMAPINFO info = DibInfo(width, height);
  void* bits = nullptr;
  const TBitmap dib(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const TMemoryDC memory(CreateCompatibleDC(screen.Get()));
  if (!dib || !memory || bits == nullptr) return;
  const TSelection select(memory.Get(), dib.Get());
  BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), left, top, SRCCOPY);
  GdiFlush();

  Bitmap24 glow(width, height);
  const size_t bytes = static_cast<size_t>(glow.Stride()) * static_cast<size_t>(height);
  std::memcpy(glow.Bits(), bits, bytes);
  ApplyHalo(glow, lamp_.GaloIntensity(), lamp_.ResolvedPlasticColor());
  std::memcpy(bits, glow.Bits(), bytes);

  BitBlt(screen.Get(), left, top, width, height, memory.Get(), 0, 0, SRCCOPY);
}

void TLumexLED::SetControlSize(int width, int height) {
  RECT rect{};
  GetWindowRect(window_, &rect);
  if (rect.right - rect.left == width && rect.bottom - rect.top == height) return;
  // The size change comes back as WM_SIZE, which hands it to the lamp.
  SetWindowPos(window_, nullptr, 0, 0, width, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The region is made of the very pixels the picture treats as inside the outline, so the
// rings drawn by the lamp and the window's edge meet without stray pixels.
void TLumexLED::SetRegion(const TLXglPoly& outline) {
  PixelMask inside(lamp_.Width(), lamp_.Height());
  inside.AddPolygon(outline);
  const std::vector<RECT> runs = RowRuns(inside);
  std::vector<uint8_t> data(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
  auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
  header->dwSize = sizeof(RGNDATAHEADER);
  header->iType = RDH_RECTANGLES;
  header->nCount = static_cast<DWORD>(runs.size());
  header->rcBound = {0, 0, inside.Width(), inside.Height()};
  if (!runs.empty())
    std::memcpy(data.data() + sizeof(RGNDATAHEADER), runs.data(), runs.size() * sizeof(RECT));
  TRegion region(ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                 reinterpret_cast<const RGNDATA*>(data.data())));
  if (!region) return;
  // The window owns the region once it has taken it.
  if (SetWindowRgn(window_, region.Get(), TRUE) != 0) region.Release();
}

void TLumexLED::InvalidateControl() { InvalidateRect(window_, nullptr, FALSE); }

void TLumexLED::RedrawParent() {
  const HWND parent = GetParent(window_);
  if (parent == nullptr) return;
  RECT client{};
  GetClientRect(parent, &client);
  const RECT whole{0, 0, client.right - 1, client.bottom - 1};
  RedrawWindow(parent, &whole, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

}  // namespace pur
