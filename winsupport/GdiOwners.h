// Scoped owners of device contexts and GDI objects.
#pragma once

#include <windows.h>

#include "WinOwners.h"

namespace pur {

using TFont = TOwner<TFreedBy<HFONT, DeleteObject>>;
using TBitmap = TOwner<TFreedBy<HBITMAP, DeleteObject>>;
using TBrush = TOwner<TFreedBy<HBRUSH, DeleteObject>>;
using TRegion = TOwner<TFreedBy<HRGN, DeleteObject>>;
using TPen = TOwner<TFreedBy<HPEN, DeleteObject>>;
// Icons are window-manager objects, freed by their own call.
using TIcon = TOwner<TFreedBy<HICON, DestroyIcon>>;
// A context from CreateCompatibleDC.
using TMemoryDC = TOwner<TFreedBy<HDC, DeleteDC>>;

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
