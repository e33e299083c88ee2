// The LED control as a window under Wine: class, size and region follow the lamp, WM_SIZE
// and WM_MOVE behave as the control's rules say, GDI textures and system colours arrive.
#include <gtest/gtest.h>
#include <windows.h>

#include "LumexLED.h"

namespace {

using pur::LumexLEDModel;
using pur::TLumexLED;
using pur::TLXLedClass;

int g_parentErases = 0;
RECT g_parentErased{};  // union of the areas the parent was asked to erase

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    ++g_parentErases;
    RECT box{};
    GetClipBox(reinterpret_cast<HDC>(wParam), &box);
    UnionRect(&g_parentErased, &g_parentErased, &box);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A visible parent window with a control at (119, 64), as in the main window.
class LedWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &ParentProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "PurLedTestParent";
    RegisterClassA(&wc);
    parent_ = CreateWindowExA(0, "PurLedTestParent", "parent", WS_POPUP | WS_VISIBLE, 0, 0, 400,
                              200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    led_ = TLumexLED::Create(parent_, 119, 64, 7);
    ASSERT_NE(led_, nullptr);
    control_ = TLumexLED::FromHandle(led_);
    ASSERT_NE(control_, nullptr);
  }
  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
  }
  SIZE WindowSize() const {
    RECT r{};
    GetWindowRect(led_, &r);
    return {r.right - r.left, r.bottom - r.top};
  }
  POINT Position() const {
    RECT r{};
    GetWindowRect(led_, &r);
    MapWindowPoints(HWND_DESKTOP, parent_, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top};
  }
  RECT RegionBox() const {
    RECT box{};
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (GetWindowRgn(led_, region) != ERROR) GetRgnBox(region, &box);
    DeleteObject(region);
    return box;
  }
  bool RegionHas(int x, int y) const {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    const bool inside = GetWindowRgn(led_, region) != ERROR && PtInRegion(region, x, y);
    DeleteObject(region);
    return inside;
  }

  HWND parent_ = nullptr;
  HWND led_ = nullptr;
  TLumexLED* control_ = nullptr;
};

TEST_F(LedWindowTest, ClassAndInitialState) {
  char name[64] = {};
  GetClassNameA(led_, name, sizeof(name));
  EXPECT_STREQ(name, "TLumexLED");
  EXPECT_EQ(GetDlgCtrlID(led_), 7);
  EXPECT_EQ(WindowSize().cx, 24);
  EXPECT_EQ(WindowSize().cy, 14);
  // The first WM_SIZE fits the lamp into the control: 24 x 14 less the border on each side.
  EXPECT_EQ(control_->Lamp().LedWidth(), 20);
  EXPECT_EQ(control_->Lamp().LedHeight(), 10);
  EXPECT_EQ(control_->Lamp().Image().Width(), 24);
  const RECT box = RegionBox();
  EXPECT_EQ(box.right - box.left, 24);
  EXPECT_EQ(box.bottom - box.top, 14);
  EXPECT_EQ(TLumexLED::FromHandle(parent_), nullptr);
  EXPECT_EQ(TLumexLED::FromHandle(nullptr), nullptr);
}

TEST_F(LedWindowTest, WindowFollowsTheAngle) {
  struct Case {
    int angle;
    int width, height;
  };
  const Case cases[] = {{900, 14, 24}, {1800, 24, 14}, {450, 27, 27}, {0, 24, 14}};
  LumexLEDModel& lamp = control_->Lamp();
  lamp.SetLedClass(TLXLedClass::lxlcHalfCircle);
  for (const auto& c : cases) {
    lamp.SetAngle(c.angle);
    EXPECT_EQ(WindowSize().cx, c.width) << c.angle;
    EXPECT_EQ(WindowSize().cy, c.height) << c.angle;
    EXPECT_EQ(Position().x, 119) << c.angle;  // keeps its place
    EXPECT_EQ(Position().y, 64) << c.angle;
    EXPECT_EQ(lamp.LedWidth(), 20) << c.angle;
    EXPECT_EQ(lamp.LedHeight(), 10) << c.angle;
  }
}

TEST_F(LedWindowTest, RegionIsTheOutline) {
  LumexLEDModel& lamp = control_->Lamp();
  EXPECT_TRUE(RegionHas(0, 0));
  lamp.SetLedClass(TLXLedClass::lxlcRomb);
  EXPECT_FALSE(RegionHas(0, 0));
  EXPECT_FALSE(RegionHas(23, 13));
  EXPECT_TRUE(RegionHas(12, 7));
  EXPECT_TRUE(RegionHas(12, 1));
  lamp.SetLedClass(TLXLedClass::lxlcHalfCircle);
  lamp.SetAngle(1800);  // straight side on the right: right corners in, left corners out
  EXPECT_TRUE(RegionHas(22, 1));
  EXPECT_FALSE(RegionHas(0, 0));
}

TEST_F(LedWindowTest, ResizingAtRightAnglesResizesTheLamp) {
  LumexLEDModel& lamp = control_->Lamp();
  EXPECT_TRUE(lamp.SetWidth(30));
  EXPECT_EQ(WindowSize().cx, 30);
  EXPECT_EQ(lamp.LedWidth(), 26);
  SetWindowPos(led_, nullptr, 0, 0, 40, 20, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(lamp.LedWidth(), 36);
  EXPECT_EQ(lamp.LedHeight(), 16);
  EXPECT_EQ(lamp.Image().Width(), 40);
  SetWindowPos(led_, nullptr, 0, 0, 2, 2, SWP_NOMOVE | SWP_NOZORDER);  // smaller than the rings
  EXPECT_EQ(lamp.LedWidth(), 0);
  EXPECT_EQ(WindowSize().cx, 4);
  EXPECT_EQ(WindowSize().cy, 4);
}

TEST_F(LedWindowTest, TurnedLampSetsTheWindowBack) {
  LumexLEDModel& lamp = control_->Lamp();
  lamp.SetAngle(450);
  EXPECT_FALSE(lamp.SetWidth(50));
  SetWindowPos(led_, nullptr, 0, 0, 60, 10, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(WindowSize().cx, 27);
  EXPECT_EQ(WindowSize().cy, 27);
  EXPECT_EQ(lamp.LedWidth(), 20);
}

TEST_F(LedWindowTest, ParentRedrawnOnMoveOnlyWithALitHalo) {
  LumexLEDModel& lamp = control_->Lamp();
  UpdateWindow(parent_);
  struct Case {
    bool on, halo;
    bool redraws;
  };
  const Case cases[] = {{false, false, false}, {true, false, false}, {false, true, false},
                        {true, true, true}};
  int x = 119;
  for (const auto& c : cases) {
    lamp.SetLedOn(c.on);
    lamp.SetGaloON(c.halo);
    UpdateWindow(parent_);
    UpdateWindow(led_);
    g_parentErases = 0;
    x += 3;
    SetWindowPos(led_, nullptr, x, 64, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW);
    EXPECT_EQ(g_parentErases > 0, c.redraws) << c.on << c.halo;
  }
}

TEST_F(LedWindowTest, TexturesFromGdiBitmaps) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 8;
  info.bmiHeader.biHeight = -6;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  auto* pixels = static_cast<uint32_t*>(bits);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) pixels[y * 8 + x] = static_cast<uint32_t>((x * 30) << 16 | (y * 40) << 8 | 7);
  GdiFlush();

  control_->SetLedPlasticSubstance(bitmap);
  const pur::Bitmap24& plastic = control_->Lamp().LedPlasticSubstance();
  ASSERT_EQ(plastic.Width(), 8);
  ASSERT_EQ(plastic.Height(), 6);
  EXPECT_EQ(plastic.Pixel(3, 2)[2], 90);  // red
  EXPECT_EQ(plastic.Pixel(3, 2)[1], 80);  // green
  EXPECT_EQ(plastic.Pixel(3, 2)[0], 7);   // blue

  control_->SetBorderSubstance(bitmap);
  EXPECT_EQ(control_->Lamp().BorderLight().Pixel(3, 2)[2], 154);
  EXPECT_EQ(control_->Lamp().BorderDark().Pixel(3, 2)[2], 26);
  control_->SetBorderSubstance(nullptr);
  EXPECT_TRUE(control_->Lamp().BorderSubstance().Empty());
  DeleteObject(bitmap);
}

TEST_F(LedWindowTest, SystemColoursAreResolved) {
  LumexLEDModel& lamp = control_->Lamp();
  lamp.SetLedPlasticColor(0x80000000u | COLOR_HIGHLIGHT);
  EXPECT_EQ(lamp.ResolvedPlasticColor(), static_cast<pur::TColor>(GetSysColor(COLOR_HIGHLIGHT)));
  lamp.SetLedPlasticColor(0x00FF00);
  EXPECT_EQ(lamp.ResolvedPlasticColor(), 0x00FF00u);
}

// Under the null display driver the glow itself cannot be read back (it is drawn on the
// screen); what can be seen is that switching it off has the parent wipe the glow's area.
TEST_F(LedWindowTest, SwitchingTheHaloOffWipesItsArea) {
  LumexLEDModel& lamp = control_->Lamp();
  lamp.SetLedOn(true);
  lamp.SetGaloON(true);
  InvalidateRect(led_, nullptr, FALSE);
  UpdateWindow(led_);
  lamp.SetGaloON(false);
  EXPECT_TRUE(lamp.HaloErasePending());
  g_parentErases = 0;
  g_parentErased = RECT{};
  UpdateWindow(led_);  // the paint wipes the old glow through the parent
  EXPECT_FALSE(lamp.HaloErasePending());
  EXPECT_GT(g_parentErases, 0);
  RECT control{};
  GetWindowRect(led_, &control);
  MapWindowPoints(HWND_DESKTOP, parent_, reinterpret_cast<POINT*>(&control), 2);
  const int grow = lamp.GaloSize();
  const POINT glow[] = {{control.left - grow / 2, (control.top + control.bottom) / 2},
                        {control.right + grow / 2 - 1, (control.top + control.bottom) / 2},
                        {(control.left + control.right) / 2, control.top - grow / 2},
                        {(control.left + control.right) / 2, control.bottom + grow / 2 - 1}};
  for (const POINT& p : glow) {
    EXPECT_TRUE(PtInRect(&g_parentErased, p)) << p.x << "," << p.y << " was not wiped";
  }
}

TEST_F(LedWindowTest, DestroyingTheWindowFreesTheControl) {
  DestroyWindow(led_);
  EXPECT_FALSE(IsWindow(led_));
  EXPECT_EQ(TLumexLED::FromHandle(led_), nullptr);
  HWND again = TLumexLED::Create(parent_, 0, 0);
  EXPECT_NE(TLumexLED::FromHandle(again), nullptr);
}

}  // namespace
