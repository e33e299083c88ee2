// Scoped owners of device contexts and GDI objects.
#pragma once

#include <windows.h>

#include "WinOwners.h"

namespace pur {

template <class Handle>
struct TGdiObjectTraits {
  using Type = Handle;
  static Type None() { return nullptr; }
  static bool Free(Type object) { return DeleteObject(object) != FALSE; }
};
using TFont = TOwner<TGdiObjectTraits<HFONT>>;
using TBitmap = TOwner<TGdiObjectTraits<HBITMAP>>;
using TBrush = TOwner<TGdiObjectTraits<HBRUSH>>;
using TRegion = TOwner<TGdiObjectTraits<HRGN>>;
using TPen = TOwner<TGdiObjectTraits<HPEN>>;

// Icons are window-manager objects, freed by their own call.
struct TIconTraits {
  using Type = HICON;
  static Type None() { return nullptr; }
  static bool Free(Type icon) { return DestroyIcon(icon) != FALSE; }
};
using TIcon = TOwner<TIconTraits>;

// A context from CreateCompatibleDC.
struct TMemoryDCTraits {
  using Type = HDC;
  static Type None() { return nullptr; }
  static bool Free(Type dc) { return DeleteDC(dc) != FALSE; }
};
using TMemoryDC = TOwner<TMemoryDCTraits>;

// A context from GetDC, given back to the window it came from.
class TWindowDC {
 public:
  explicit TWindowDC(HWND window) : Window_(window), DC_(GetDC(window)) {}
  ~TWindowDC() {
    if (DC_) ReleaseDC(Window_, DC_);
  }
  TWindowDC(TWindowDC&& other) noexcept : Window_(other.Window_), DC_(other.DC_) { other.DC_ = nullptr; }
  TWindowDC& operator=(TWindowDC&&) = delete;
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;

  HDC Get() const { return DC_; }
  explicit operator bool() const { return DC_ != nullptr; }

 private:
  HWND Window_;
  HDC DC_;
};

// Selects an object into a context and puts the previous one back when it goes, so that the
// object is out of the context before either is deleted. Declare it after both owners.
class TSelection {
 public:
  TSelection(HDC dc, HGDIOBJ object) : DC_(dc), Previous_(SelectObject(dc, object)) {}
  ~TSelection() {
    if (Previous_) SelectObject(DC_, Previous_);
  }
  TSelection(const TSelection&) = delete;
  TSelection& operator=(const TSelection&) = delete;

 private:
  HDC DC_;
  HGDIOBJ Previous_;
};

}  // namespace pur
