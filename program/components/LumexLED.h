// The LED indicator control as a registered window class ("TLumexLED"): one TLumexLED per
// window holds the lamp (LumexLEDImage.h) and hands its picture and outline to GDI.
#pragma once

#include <windows.h>

#include "LumexLEDImage.h"

namespace pur {

inline constexpr char kLumexLEDClassName[] = "TLumexLED";

// The framework's colour conversion: system colours (high bit set) through GetSysColor.
TColor ColorToRGB(TColor color);

// A GDI bitmap of any format as a 24-bit picture; empty for a null or unreadable bitmap.
Bitmap24 BitmapFromGdi(HBITMAP bitmap);

class TLumexLED final : private LumexLEDHost {
 public:
  // Registers the window class once per process; answers whether it is registered.
  static bool Register();
  // Creates a visible child control of 24 x 14 at (left, top) of the parent.
  static HWND Create(HWND parent, int left, int top, int id = 0);
  // The control of a window of this class, or null.
  static TLumexLED* FromHandle(HWND window);

  TLumexLED(const TLumexLED&) = delete;
  TLumexLED& operator=(const TLumexLED&) = delete;

  HWND Window() const { return window_; }
  // Properties and their setters; the window follows every change.
  LumexLEDModel& Lamp() { return lamp_; }
  const LumexLEDModel& Lamp() const { return lamp_; }

  // Texture setters taking a GDI picture (copied; the caller keeps its bitmap).
  void SetBorderSubstance(HBITMAP picture);
  void SetLedPlasticSubstance(HBITMAP picture);

 private:
  explicit TLumexLED(HWND window);
  ~TLumexLED() override = default;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  void EraseHaloArea();
  void PaintHalo();

  // LumexLEDHost
  void SetControlSize(int width, int height) override;
  void SetRegion(const TLXglPoly& outline) override;
  void InvalidateControl() override;
  void RedrawParent() override;

  HWND window_;
  LumexLEDModel lamp_;
};

}  // namespace pur
