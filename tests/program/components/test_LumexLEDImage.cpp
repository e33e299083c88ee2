// The LED lamp without a window: property rules, frame sizes, outline and pixels.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "LumexLEDImage.h"

namespace {

using pur::Bitmap24;
using pur::LumexLEDModel;
using pur::TLXBorderLedStyle;
using pur::TLXLedClass;
using pur::TLXglSubstanceMode;

// A lamp as the window code leaves it after creation: outline built, then the first WM_SIZE.
struct CreatedLamp {
  LumexLEDModel lamp;
  CreatedLamp() {
    lamp.HandleCreated();
    lamp.HandleSize(LumexLEDModel::kInitialWidth, LumexLEDModel::kInitialHeight);
  }
};

// The lamp of the main window: LED 20 x 10 with the default rings.
LumexLEDModel& MainWindowLamp(CreatedLamp& created) {
  created.lamp.SetLedWidth(20);
  created.lamp.SetLedHeight(10);
  return created.lamp;
}

pur::PixelMask BodyPixels(const LumexLEDModel& lamp) {
  pur::PixelMask mask(lamp.Width(), lamp.Height());
  mask.AddPolygon(lamp.PlasticDevice());
  return mask;
}

TEST(LumexLEDModel, InitialValues) {
  LumexLEDModel lamp;
  EXPECT_EQ(lamp.Width(), 24);
  EXPECT_EQ(lamp.Height(), 14);
  EXPECT_EQ(lamp.LedClass(), TLXLedClass::lxlcRect);
  EXPECT_EQ(lamp.LedPlasticDepth(), 5);
  EXPECT_EQ(lamp.Gap(), 0);
  EXPECT_EQ(lamp.GapColor(), 8421504u);
  EXPECT_EQ(lamp.Angle(), 0);
  EXPECT_EQ(lamp.InnerBorderStyle(), TLXBorderLedStyle::lxblsNone);
  EXPECT_EQ(lamp.OuterBorderStyle(), TLXBorderLedStyle::lxblsDown);
  EXPECT_EQ(lamp.InnerBorderDepth(), 0);
  EXPECT_EQ(lamp.OuterBorderDepth(), 2);
  EXPECT_EQ(lamp.BorderColor(), 8421504u);
  EXPECT_EQ(lamp.LedPlasticColor(), 255u);
  EXPECT_FALSE(lamp.LedOn());
  EXPECT_EQ(lamp.LedWidth(), 22);
  EXPECT_EQ(lamp.LedHeight(), 12);
  EXPECT_FALSE(lamp.GaloON());
  EXPECT_EQ(lamp.GaloSize(), 10);
  EXPECT_EQ(lamp.GaloIntensity(), 5);
  EXPECT_EQ(lamp.Image().Width(), 24);
  EXPECT_EQ(lamp.Image().Height(), 14);
  EXPECT_TRUE(lamp.BorderSubstance().Empty());
  EXPECT_TRUE(lamp.LedPlasticSubstance().Empty());
}

TEST(LumexLEDModel, FrameSizeFollowsTheAngle) {
  struct Case {
    int angle;
    int width;
    int height;
  };
  const Case cases[] = {
      {0, 24, 14}, {900, 14, 24}, {1800, 24, 14}, {-900, 14, 24}, {450, 27, 27}, {300, 28, 24},
  };
  for (const auto& c : cases) {
    CreatedLamp created;
    LumexLEDModel& lamp = MainWindowLamp(created);
    lamp.SetAngle(c.angle);
    EXPECT_EQ(lamp.Width(), c.width) << "angle " << c.angle;
    EXPECT_EQ(lamp.Height(), c.height) << "angle " << c.angle;
    EXPECT_EQ(lamp.FrameWidth(), c.width) << "angle " << c.angle;
    EXPECT_EQ(lamp.FrameHeight(), c.height) << "angle " << c.angle;
    EXPECT_EQ(lamp.LedWidth(), 20) << "angle " << c.angle;
    EXPECT_EQ(lamp.LedHeight(), 10) << "angle " << c.angle;
    EXPECT_EQ(lamp.Image().Width(), c.width);
    EXPECT_EQ(lamp.Image().Height(), c.height);
  }
}

TEST(LumexLEDModel, FrameTotalCountsOnlyVisibleRings) {
  CreatedLamp created;
  LumexLEDModel& lamp = MainWindowLamp(created);
  EXPECT_EQ(lamp.FrameTotal(), 2);
  lamp.SetInnerBorderDepth(3);  // still no inner ring
  EXPECT_EQ(lamp.FrameTotal(), 2);
  lamp.SetInnerBorderStyle(TLXBorderLedStyle::lxblsUp);
  lamp.SetGap(1);
  EXPECT_EQ(lamp.FrameTotal(), 6);
  EXPECT_EQ(lamp.Width(), 20 + 12);
  EXPECT_EQ(lamp.Height(), 10 + 12);
  lamp.SetOuterBorderStyle(TLXBorderLedStyle::lxblsNone);
  EXPECT_EQ(lamp.FrameTotal(), 4);
  EXPECT_EQ(lamp.Width(), 28);
}

TEST(LumexLEDModel, AngleIsNormalised) {
  struct Case {
    int value;
    int stored;
  };
  const Case cases[] = {
      {3700, 100},   {-1800, 1800}, {1800, 1800},   {1801, -1799}, {-1799, -1799},
      {7200, 0},     {-3600, 0},    {5400, 1800},   {900, 900},    {INT_MAX, 847},
      {INT_MIN, -848},
  };
  for (const auto& c : cases) {
    LumexLEDModel lamp;
    lamp.SetAngle(c.value);
    EXPECT_EQ(lamp.Angle(), c.stored) << "set " << c.value;
    EXPECT_GE(lamp.Angle(), -1799);
    EXPECT_LE(lamp.Angle(), 1800);
  }
}

TEST(LumexLEDModel, SettersAcceptOnlyTheirRange) {
  struct Case {
    const char* name;
    bool (*set)(LumexLEDModel&, int);
    int (*get)(const LumexLEDModel&);
    int value;
    bool accepted;
  };
  const auto depth = [](LumexLEDModel& l, int v) { return l.SetLedPlasticDepth(v); };
  const auto getDepth = [](const LumexLEDModel& l) { return l.LedPlasticDepth(); };
  const auto intensity = [](LumexLEDModel& l, int v) { return l.SetGaloIntensity(v); };
  const auto getIntensity = [](const LumexLEDModel& l) { return l.GaloIntensity(); };
  const auto size = [](LumexLEDModel& l, int v) { return l.SetGaloSize(v); };
  const auto getSize = [](const LumexLEDModel& l) { return l.GaloSize(); };
  const auto gap = [](LumexLEDModel& l, int v) { return l.SetGap(v); };
  const auto getGap = [](const LumexLEDModel& l) { return l.Gap(); };
  const auto ledW = [](LumexLEDModel& l, int v) { return l.SetLedWidth(v); };
  const auto getLedW = [](const LumexLEDModel& l) { return l.LedWidth(); };
  const auto outer = [](LumexLEDModel& l, int v) { return l.SetOuterBorderDepth(v); };
  const auto getOuter = [](const LumexLEDModel& l) { return l.OuterBorderDepth(); };
  const Case cases[] = {
      {"LedPlasticDepth", depth, getDepth, 0, false},
      {"LedPlasticDepth", depth, getDepth, 11, false},
      {"LedPlasticDepth", depth, getDepth, 5, false},  // unchanged
      {"LedPlasticDepth", depth, getDepth, 1, true},
      {"LedPlasticDepth", depth, getDepth, 10, true},
      {"GaloIntensity", intensity, getIntensity, 0, false},
      {"GaloIntensity", intensity, getIntensity, 11, false},
      {"GaloIntensity", intensity, getIntensity, 1, true},
      {"GaloIntensity", intensity, getIntensity, 10, true},
      {"GaloSize", size, getSize, 50, false},
      {"GaloSize", size, getSize, -1, false},
      {"GaloSize", size, getSize, 49, true},
      {"GaloSize", size, getSize, 0, true},
      {"Gap", gap, getGap, -1, false},
      {"Gap", gap, getGap, 0, false},  // unchanged
      {"Gap", gap, getGap, 3, true},
      {"LedWidth", ledW, getLedW, -1, false},
      {"LedWidth", ledW, getLedW, 0, true},
      {"OuterBorderDepth", outer, getOuter, -2, false},
      {"OuterBorderDepth", outer, getOuter, 0, true},
  };
  for (const auto& c : cases) {
    CreatedLamp created;
    const int before = c.get(created.lamp);
    EXPECT_EQ(c.set(created.lamp, c.value), c.accepted) << c.name << " " << c.value;
    EXPECT_EQ(c.get(created.lamp), c.accepted ? c.value : before) << c.name << " " << c.value;
  }
}

TEST(LumexLEDModel, WidthOnlyAtRightAngles) {
  {
    CreatedLamp created;
    LumexLEDModel& lamp = MainWindowLamp(created);
    lamp.SetAngle(450);
    EXPECT_FALSE(lamp.SetWidth(30));
    EXPECT_FALSE(lamp.SetHeight(30));
    EXPECT_EQ(lamp.Width(), 27);
    EXPECT_EQ(lamp.LedWidth(), 20);
  }
  {
    CreatedLamp created;
    LumexLEDModel& lamp = MainWindowLamp(created);
    EXPECT_TRUE(lamp.SetWidth(30));
    EXPECT_EQ(lamp.Width(), 30);
    EXPECT_EQ(lamp.FrameWidth(), 30);
    EXPECT_EQ(lamp.LedWidth(), 26);
    EXPECT_TRUE(lamp.SetHeight(3));  // too small for the rings: the lamp keeps a height of 0
    EXPECT_EQ(lamp.LedHeight(), 0);
    EXPECT_EQ(lamp.Height(), 4);
  }
  {
    CreatedLamp created;
    LumexLEDModel& lamp = MainWindowLamp(created);
    lamp.SetAngle(900);
    EXPECT_TRUE(lamp.SetWidth(20));  // turned upright: the control's width is the lamp's height
    EXPECT_EQ(lamp.LedHeight(), 16);
    EXPECT_EQ(lamp.LedWidth(), 20);
  }
}

TEST(LumexLEDModel, TurnedLampKeepsItsFrameSize) {
  CreatedLamp created;
  LumexLEDModel& lamp = MainWindowLamp(created);
  lamp.SetAngle(450);
  lamp.HandleSize(40, 33);  // someone resized the window
  EXPECT_EQ(lamp.Width(), 27);
  EXPECT_EQ(lamp.Height(), 27);
  EXPECT_EQ(lamp.LedWidth(), 20);
}

TEST(LumexLEDModel, OutlineOfTheShapes) {
  CreatedLamp created;
  LumexLEDModel& lamp = MainWindowLamp(created);
  EXPECT_EQ(lamp.OuterDevice(), (pur::TLXglPoly{{0, 0}, {24, 0}, {24, 14}, {0, 14}}));
  EXPECT_EQ(lamp.PlasticDevice(), (pur::TLXglPoly{{2, 2}, {22, 2}, {22, 12}, {2, 12}}));

  lamp.SetLedClass(TLXLedClass::lxlcRomb);
  EXPECT_EQ(lamp.PlasticDevice(), (pur::TLXglPoly{{12, 2}, {22, 7}, {12, 12}, {2, 7}}));
  EXPECT_EQ(lamp.OuterDevice(), (pur::TLXglPoly{{12, 0}, {24, 7}, {12, 14}, {0, 7}}));

  lamp.SetLedClass(TLXLedClass::lxlcTriangle);
  EXPECT_EQ(lamp.OuterDevice(), (pur::TLXglPoly{{12, 0}, {24, 14}, {0, 14}}));

  lamp.SetLedClass(TLXLedClass::lxlcTrapezium);
  lamp.SetOuterBorderDepth(3);  // the top corners move sideways by 3 div 2
  EXPECT_EQ(lamp.PlasticDevice(), (pur::TLXglPoly{{8, 3}, {18, 3}, {23, 13}, {3, 13}}));
  EXPECT_EQ(lamp.OuterDevice(), (pur::TLXglPoly{{7, 0}, {19, 0}, {26, 16}, {0, 16}}));

  lamp.SetLedClass(TLXLedClass::lxlcRound);
  EXPECT_EQ(lamp.PlasticPoly().size(), 40u);  // 2 x the larger side
  lamp.SetLedClass(TLXLedClass::lxlcHalfCircle);
  EXPECT_EQ(lamp.PlasticPoly().size(), 42u);  // the arc and the straight side
}

TEST(LumexLEDModel, HalfCircleTurnedHalfwayHasItsStraightSideOnTheRight) {
  struct Case {
    int angle;
    double straightX;
  };
  const Case cases[] = {{0, 2.0}, {1800, 22.0}};
  for (const auto& c : cases) {
    CreatedLamp created;
    LumexLEDModel& lamp = MainWindowLamp(created);
    lamp.SetLedClass(TLXLedClass::lxlcHalfCircle);
    lamp.SetAngle(c.angle);
    ASSERT_EQ(lamp.Width(), 24);
    const pur::TLXxyPoly& body = lamp.PlasticPoly();
    const size_t n = body.size();
    EXPECT_NEAR(body[n - 1].x, c.straightX, 1e-9) << c.angle;
    EXPECT_NEAR(body[n - 2].x, c.straightX, 1e-9) << c.angle;
    double minX = 1e9, maxX = -1e9;
    for (const auto& p : body) {
      minX = std::min(minX, p.x);
      maxX = std::max(maxX, p.x);
    }
    EXPECT_NEAR(c.angle == 0 ? minX : maxX, c.straightX, 1e-9) << c.angle;
  }
}

TEST(LumexLEDModel, UnlitBodyShowsHalfBrightness) {
  const pur::TColor colors[] = {255, 0x00FF00, 0x00FFFF, 0x3264C8, 0xFFFFFF};
  for (const pur::TColor color : colors) {
    CreatedLamp created;
    LumexLEDModel& lamp = MainWindowLamp(created);
    lamp.SetLedPlasticColor(color);
    lamp.SetLedOn(true);
    const Bitmap24 lit = lamp.Image();
    lamp.SetLedOn(false);
    const Bitmap24& unlit = lamp.Image();
    const pur::PixelMask body = BodyPixels(lamp);
    ASSERT_GT(body.Count(), 150);
    int brightPixels = 0;
    for (int y = 0; y < lit.Height(); ++y) {
      for (int x = 0; x < lit.Width(); ++x) {
        if (!body.Test(x, y)) continue;
        for (int c = 0; c < 3; ++c) {
          const int full = lit.Pixel(x, y)[c];
          const int half = unlit.Pixel(x, y)[c];
          EXPECT_LE(std::abs(2 * half - full), 2) << std::hex << color << " at " << x << "," << y;
        }
        if (lit.Pixel(x, y)[2] > 100 || lit.Pixel(x, y)[1] > 100) ++brightPixels;
      }
    }
    EXPECT_GT(brightPixels, 0) << std::hex << color;
  }
  // The default red exactly: lit red = v, unlit red = v x 127 div 255, no blue or green.
  CreatedLamp created;
  LumexLEDModel& lamp = MainWindowLamp(created);
  lamp.SetLedOn(true);
  const Bitmap24 lit = lamp.Image();
  lamp.SetLedOn(false);
  const pur::PixelMask body = BodyPixels(lamp);
  for (int y = 0; y < lit.Height(); ++y)
    for (int x = 0; x < lit.Width(); ++x)
      if (body.Test(x, y)) {
        EXPECT_EQ(lamp.Image().Pixel(x, y)[2], lit.Pixel(x, y)[2] * 127 / 255) << x << "," << y;
        EXPECT_EQ(lamp.Image().Pixel(x, y)[0], 0);
        EXPECT_EQ(lamp.Image().Pixel(x, y)[1], 0);
      }
}

TEST(LumexLEDModel, BodyIsBrightestInItsCentre) {
  CreatedLamp created;
  LumexLEDModel& lamp = MainWindowLamp(created);
  lamp.SetLedOn(true);
  const Bitmap24& image = lamp.Image();
  EXPECT_GE(image.Pixel(12, 7)[2], 240);
  EXPECT_LT(image.Pixel(3, 3)[2], image.Pixel(12, 7)[2] - 60);
}

TEST(LumexLEDModel, BevelOfTheOuterRing) {
  struct Case {
    TLXBorderLedStyle style;
    int topRed;     // pixel (12, 0)
    int bottomRed;  // pixel (12, 13)
    int leftRed;    // pixel (0, 7)
    int rightRed;   // pixel (23, 7)
  };
  // Grey 128: lit 160, shadow 96. Sunken: top and left dark; raised: top and left light.
  const Case cases[] = {
      {TLXBorderLedStyle::lxblsDown, 96, 160, 96, 160},
      {TLXBorderLedStyle::lxblsUp, 160, 96, 160, 96},
  };
  for (const auto& c : cases) {
    CreatedLamp created;
    LumexLEDModel& lamp = MainWindowLamp(created);
    lamp.SetOuterBorderStyle(c.style);
    const Bitmap24& image = lamp.Image();
    EXPECT_EQ(image.Pixel(12, 0)[2], c.topRed);
    EXPECT_EQ(image.Pixel(12, 13)[2], c.bottomRed);
    EXPECT_EQ(image.Pixel(0, 7)[2], c.leftRed);
    EXPECT_EQ(image.Pixel(23, 7)[2], c.rightRed);
    EXPECT_EQ(image.Pixel(12, 0)[0], c.topRed);  // grey stays grey
  }
}

TEST(LumexLEDModel, GapRingTakesTheGapColour) {
  CreatedLamp created;
  LumexLEDModel& lamp = MainWindowLamp(created);
  lamp.SetGap(2);
  lamp.SetGapColor(0xFF0000);  // blue
  ASSERT_EQ(lamp.Width(), 28);
  const Bitmap24& image = lamp.Image();
  for (const int x : {4, 14, 23}) {
    const uint8_t* p = image.Pixel(x, 3);  // inside the gap ring (rows 2 and 3)
    EXPECT_EQ(p[0], 255) << x;
    EXPECT_EQ(p[1], 0) << x;
    EXPECT_EQ(p[2], 0) << x;
  }
  EXPECT_EQ(image.Pixel(14, 1)[2], 96);  // the sunken border outside it
}

TEST(LumexLEDModel, TilesOfATexture) {
  const std::vector<pur::TLXglPoint> tiles = pur::TilePositions(24, 14, 8, 8);
  const std::vector<pur::TLXglPoint> expected = {{0, 0},  {8, 0},  {16, 0}, {24, 0},
                                                 {0, 8},  {8, 8},  {16, 8}, {24, 8}};
  EXPECT_EQ(tiles, expected);
  EXPECT_EQ(pur::TilePositions(7, 7, 8, 8).size(), 1u);
  EXPECT_EQ(pur::TilePositions(16, 16, 8, 8).size(), 9u);
  EXPECT_TRUE(pur::TilePositions(16, 16, 0, 8).empty());
}

// With the same grain, a white texture gives v in every byte; any texture then gives
// v x byte div 255 where its tile lies.
TEST(LumexLEDModel, BodyTextureTiledAndStretched) {
  Bitmap24 white(8, 8);
  Bitmap24 pattern(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      white.SetPixel(x, y, 255, 255, 255);
      pattern.SetPixel(x, y, static_cast<uint8_t>(30 * x), static_cast<uint8_t>(30 * y),
                       static_cast<uint8_t>(200 - 10 * (x + y)));
    }
  struct Case {
    TLXglSubstanceMode mode;
    int (*sourceX)(int);
    int (*sourceY)(int);
  };
  const Case cases[] = {
      {TLXglSubstanceMode::lxsmTile, [](int x) { return x % 8; }, [](int y) { return y % 8; }},
      {TLXglSubstanceMode::lxsmStretch, [](int x) { return x * 8 / 24; },
       [](int y) { return y * 8 / 14; }},
  };
  for (const auto& c : cases) {
    CreatedLamp created;
    LumexLEDModel& lamp = MainWindowLamp(created);
    lamp.SetLedOn(true);
    lamp.SetLedPlasticSubsMode(c.mode);
    lamp.SetLedPlasticSubstance(&white);
    const Bitmap24 v = lamp.Image();
    lamp.SetLedPlasticSubstance(&pattern);
    const pur::PixelMask body = BodyPixels(lamp);
    for (int y = 0; y < 14; ++y)
      for (int x = 0; x < 24; ++x) {
        if (!body.Test(x, y)) continue;
        const uint8_t* tex = pattern.Pixel(c.sourceX(x), c.sourceY(y));
        for (int k = 0; k < 3; ++k)
          ASSERT_EQ(lamp.Image().Pixel(x, y)[k], v.Pixel(x, y)[k] * tex[k] / 255)
              << "mode " << static_cast<int>(c.mode) << " at " << x << "," << y << " byte " << k;
      }
  }
}

TEST(LumexLEDModel, BorderTextureMakesLightAndDarkCopies) {
  Bitmap24 texture(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) texture.SetPixel(x, y, 10, 100, 230);
  CreatedLamp created;
  LumexLEDModel& lamp = MainWindowLamp(created);
  lamp.SetBorderSubstance(&texture);
  ASSERT_FALSE(lamp.BorderLight().Empty());
  EXPECT_EQ(lamp.BorderLight().Pixel(1, 1)[0], 74);
  EXPECT_EQ(lamp.BorderLight().Pixel(1, 1)[2], 255);
  EXPECT_EQ(lamp.BorderDark().Pixel(1, 1)[0], 0);
  EXPECT_EQ(lamp.BorderDark().Pixel(1, 1)[1], 36);
  // Sunken ring: the top edge shows the dark copy, the bottom edge the light one.
  EXPECT_EQ(lamp.Image().Pixel(12, 0)[1], 36);
  EXPECT_EQ(lamp.Image().Pixel(12, 13)[1], 164);
  lamp.SetBorderSubstance(nullptr);
  EXPECT_TRUE(lamp.BorderSubstance().Empty());
  EXPECT_TRUE(lamp.BorderLight().Empty());
  EXPECT_TRUE(lamp.BorderDark().Empty());
  EXPECT_EQ(lamp.Image().Pixel(12, 0)[1], 96);
  Bitmap24 empty;
  lamp.SetLedPlasticSubstance(&empty);
  EXPECT_TRUE(lamp.LedPlasticSubstance().Empty());
}

TEST(LumexLEDModel, HaloSwitchedOffIsWipedOnce) {
  LumexLEDModel lamp;
  EXPECT_FALSE(lamp.TakeHaloErase());
  lamp.SetLedOn(true);
  EXPECT_TRUE(lamp.SetGaloON(true));
  EXPECT_FALSE(lamp.HaloErasePending());
  EXPECT_TRUE(lamp.DrawsHalo());
  EXPECT_TRUE(lamp.TakeHaloErase());  // the glow area is redrawn before every glow
  EXPECT_TRUE(lamp.SetGaloON(false));
  EXPECT_TRUE(lamp.HaloErasePending());
  EXPECT_FALSE(lamp.DrawsHalo());
  EXPECT_TRUE(lamp.TakeHaloErase());
  EXPECT_FALSE(lamp.TakeHaloErase());  // only once
  lamp.SetGaloON(true);
  lamp.SetGaloON(false);
  lamp.SetGaloON(true);  // switched back on: nothing pending
  EXPECT_FALSE(lamp.HaloErasePending());
  lamp.SetGaloSize(0);
  EXPECT_FALSE(lamp.DrawsHalo());
}

TEST(LumexLEDModel, HaloGlowsFromTheCentre) {
  struct Case {
    int intensity;
    int centreRed;
  };
  // Centre (10, 10) of 21 x 21: radius 1/21 x sqrt 2.
  const Case cases[] = {{10, 238}, {5, 119}, {1, 24}};
  for (const auto& c : cases) {
    Bitmap24 screen(21, 21);
    pur::ApplyHalo(screen, c.intensity, 0x0000FF);
    EXPECT_EQ(screen.Pixel(10, 10)[2], c.centreRed) << c.intensity;
    EXPECT_EQ(screen.Pixel(10, 10)[1], 0);
    EXPECT_EQ(screen.Pixel(0, 0)[2], 0);  // the corners stay as they were
    EXPECT_LT(screen.Pixel(2, 10)[2], screen.Pixel(8, 10)[2]);
  }
  Bitmap24 bright(5, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) bright.SetPixel(x, y, 250, 250, 250);
  pur::ApplyHalo(bright, 10, 0xFFFFFF);
  EXPECT_EQ(bright.Pixel(2, 2)[0], 255);  // capped
}

TEST(LumexLEDModel, ShadowSides) {
  struct Case {
    TLXBorderLedStyle style;
    pur::TLXxyPoint from, to;
    int direction;
    bool shadow;
  };
  const Case cases[] = {
      {TLXBorderLedStyle::lxblsUp, {0, 0}, {10, 0}, 0, false},       // top, left to right
      {TLXBorderLedStyle::lxblsUp, {10, 0}, {10, 10}, -900, true},    // right, downward
      {TLXBorderLedStyle::lxblsUp, {10, 10}, {0, 10}, 1800, true},    // bottom
      {TLXBorderLedStyle::lxblsUp, {0, 10}, {0, 0}, 900, false},      // left, upward
      {TLXBorderLedStyle::lxblsDown, {0, 0}, {10, 0}, 1800, true},
      {TLXBorderLedStyle::lxblsDown, {0, 10}, {0, 0}, 2700, true},
      {TLXBorderLedStyle::lxblsUp, {0, 0}, {10, -10}, 450, false},
      {TLXBorderLedStyle::lxblsUp, {0, 0}, {0.2, 0.3}, 0, false},     // too short to turn
  };
  for (const auto& c : cases) {
    const int direction = pur::EdgeDirection(c.style, c.from, c.to);
    EXPECT_EQ(direction, c.direction) << c.to.x << "," << c.to.y;
    EXPECT_EQ(pur::IsShadowSide(direction), c.shadow) << direction;
  }
  const int bounds[][2] = {{1349, 0}, {1350, 1}, {3150, 1}, {3151, 0}, {-451, 1}, {-449, 0}};
  for (const auto& b : bounds) EXPECT_EQ(pur::IsShadowSide(b[0]), b[1] != 0) << b[0];
}

TEST(LumexLEDModel, DegenerateLampsDoNotFault) {
  const int sizes[][2] = {{0, 0}, {0, 10}, {1, 1}, {3, 2}};
  for (const auto& s : sizes) {
    for (int shape = 0; shape <= 5; ++shape) {
      CreatedLamp created;
      LumexLEDModel& lamp = created.lamp;
      lamp.SetLedClass(static_cast<TLXLedClass>(shape));
      lamp.SetLedWidth(s[0]);
      lamp.SetLedHeight(s[1]);
      lamp.SetLedOn(true);
      EXPECT_EQ(lamp.Width(), s[0] + 4);
      EXPECT_EQ(lamp.Image().Width(), s[0] + 4);
      lamp.SetAngle(450);
      lamp.SetAngle(-1799);
      EXPECT_FALSE(lamp.OuterDevice().empty());
    }
  }
}

TEST(PixelMask, PolygonCoversPixelCentres) {
  pur::PixelMask mask(10, 10);
  mask.AddPolygon({{2, 2}, {6, 2}, {6, 5}, {2, 5}});
  EXPECT_EQ(mask.Count(), 12);
  EXPECT_TRUE(mask.Test(2, 2));
  EXPECT_TRUE(mask.Test(5, 4));
  EXPECT_FALSE(mask.Test(6, 4));
  EXPECT_FALSE(mask.Test(5, 5));
  mask.AddPolygon({{-5, -5}, {20, -5}, {20, 0}, {-5, 0}});  // outside: clipped away
  EXPECT_EQ(mask.Count(), 12);
}

}  // namespace
