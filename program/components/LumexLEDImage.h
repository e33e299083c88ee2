// The lamp of the LED indicator control without any window: its properties and their rules,
// the outline polygons (built unturned, then turned about the control's centre), and the
// picture rendered into a 24-bit pixel buffer. The window class in LumexLED.h hands the
// buffer and the outline to GDI through the LumexLEDHost interface.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace pur {

enum class TLXLedClass : int {
  lxlcRect = 0,
  lxlcRound,
  lxlcRomb,
  lxlcHalfCircle,
  lxlcTriangle,
  lxlcTrapezium,
};

enum class TLXBorderLedStyle : int { lxblsUp = 0, lxblsDown = 1, lxblsNone = 2 };

enum class TLXglSubstanceMode : int { lxsmTile = 0, lxsmStretch = 1 };

struct TLXglPoint {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const TLXglPoint&) const = default;
};
using TLXglPoly = std::vector<TLXglPoint>;

struct TLXxyPoint {
  double x = 0.0;
  double y = 0.0;
};
using TLXxyPoly = std::vector<TLXxyPoint>;

// A colour value as the framework keeps it: 0x00BBGGRR, or a system colour (high bit set).
using TColor = uint32_t;
inline constexpr TColor kColorGrey = 8421504;  // 0x808080
inline constexpr TColor kColorRed = 255;
inline constexpr TColor kColorLime = 0x00FF00;
inline constexpr TColor kColorYellow = 0x00FFFF;

// Turns a colour value into plain 0x00BBGGRR; the window code answers system colours.
using ColorResolver = TColor (*)(TColor);
TColor PlainColorToRGB(TColor color);

inline uint8_t RedOf(TColor rgb) { return static_cast<uint8_t>(rgb & 0xFF); }
inline uint8_t GreenOf(TColor rgb) { return static_cast<uint8_t>((rgb >> 8) & 0xFF); }
inline uint8_t BlueOf(TColor rgb) { return static_cast<uint8_t>((rgb >> 16) & 0xFF); }

// 32 added to (or taken from) each of red, green and blue, kept within 0..255.
TColor Lighter(TColor rgb);
TColor Darker(TColor rgb);

// 24-bit picture with rows top-down, each row padded to 4 bytes as in a DIB section;
// each pixel is the bytes blue, green, red.
class Bitmap24 {
 public:
  Bitmap24() = default;
  Bitmap24(int width, int height) { Resize(width, height); }

  void Resize(int width, int height);  // contents become black
  void Clear() { Resize(0, 0); }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Stride() const { return stride_; }
  uint8_t* Pixel(int x, int y) { return bytes_.data() + Offset(x, y); }
  const uint8_t* Pixel(int x, int y) const { return bytes_.data() + Offset(x, y); }
  uint8_t* Bits() { return bytes_.data(); }
  const uint8_t* Bits() const { return bytes_.data(); }
  void SetPixel(int x, int y, uint8_t blue, uint8_t green, uint8_t red);

 private:
  size_t Offset(int x, int y) const {
    return static_cast<size_t>(y) * static_cast<size_t>(stride_) + static_cast<size_t>(x) * 3;
  }
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  std::vector<uint8_t> bytes_;
};

// Copy of a picture with every byte moved by delta and kept within 0..255.
Bitmap24 ShiftedCopy(const Bitmap24& source, int delta);

// One bit per pixel of a W x H area: the pixels a region covers.
class PixelMask {
 public:
  PixelMask(int width, int height)
      : width_(width), height_(height), bits_(static_cast<size_t>(Area(width, height)), 0) {}
  bool Test(int x, int y) const { return bits_[Index(x, y)] != 0; }
  void Set(int x, int y) { bits_[Index(x, y)] = 1; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const;
  // Adds the pixels whose centres lie inside the polygon (alternate filling).
  void AddPolygon(const TLXglPoly& polygon);

 private:
  static long Area(int w, int h) { return (w > 0 && h > 0) ? static_cast<long>(w) * h : 0; }
  size_t Index(int x, int y) const {
    return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
  }
  int width_;
  int height_;
  std::vector<uint8_t> bits_;
};

// Top-left corners of the tiles that cover a W x H picture with a tw x th texture:
// (W div tw + 1) columns by (H div th + 1) rows at whole multiples of the texture's size.
std::vector<TLXglPoint> TilePositions(int width, int height, int textureWidth, int textureHeight);

// Covers the picture (or only the pixels of `clip`) with the texture, tiled or stretched.
void CoverWithTexture(Bitmap24& target, const Bitmap24& texture, TLXglSubstanceMode mode,
                      const PixelMask* clip);

// Pixel update of the halo: a radial glow of the lamp's colour added to a screen copy.
void ApplyHalo(Bitmap24& screen, int intensity, TColor plasticRgb);

// Turns the points about the centre of a W x H control; U x V is the unturned frame.
TLXxyPoly RotatePoly(const TLXxyPoly& poly, int angleTenths, int controlWidth, int controlHeight,
                     int frameU, int frameV);

// Rounds every point, halves to even.
TLXglPoly ToDevicePoly(const TLXxyPoly& poly);

// Whether an edge direction (tenths of a degree) lies on the shadow side of a bevel.
bool IsShadowSide(int directionTenths);

// Direction of the outside edge from point i to i+1 plus the bevel's base angle.
int EdgeDirection(TLXBorderLedStyle style, const TLXxyPoint& from, const TLXxyPoint& to);

// What the control does with a window of its own; the model calls it while it works.
class LumexLEDHost {
 public:
  virtual ~LumexLEDHost() = default;
  // Gives the control this size at its present position and repaints; when the size
  // changes, the host hands the new size back through LumexLEDModel::HandleSize.
  virtual void SetControlSize(int width, int height) = 0;
  // Cuts the control's window to the outline (alternate filling) and repaints.
  virtual void SetRegion(const TLXglPoly& outline) = 0;
  virtual void InvalidateControl() = 0;
  // Redraws the parent's whole client area with its children (the halo moved or changed).
  virtual void RedrawParent() = 0;
};

class LumexLEDModel {
 public:
  static constexpr int kInitialWidth = 24;
  static constexpr int kInitialHeight = 14;
  static constexpr int kMinPlasticDepth = 1;
  static constexpr int kMaxPlasticDepth = 10;
  static constexpr int kMaxGaloSize = 49;
  static constexpr int kMinGaloIntensity = 1;
  static constexpr int kMaxGaloIntensity = 10;
  static constexpr int kHalfTurn = 1800;
  static constexpr int kFullTurn = 3600;

  explicit LumexLEDModel(LumexLEDHost* host = nullptr,
                         ColorResolver resolver = &PlainColorToRGB);

  // Setters answer false when the value was ignored (out of range or unchanged).
  bool SetWidth(int value);
  bool SetHeight(int value);
  bool SetLedClass(TLXLedClass value);
  bool SetLedPlasticDepth(int value);
  bool SetGap(int value);
  bool SetGapColor(TColor value);
  bool SetAngle(int value);
  bool SetInnerBorderStyle(TLXBorderLedStyle value);
  bool SetOuterBorderStyle(TLXBorderLedStyle value);
  bool SetInnerBorderDepth(int value);
  bool SetOuterBorderDepth(int value);
  bool SetBorderColor(TColor value);
  bool SetLedPlasticColor(TColor value);
  bool SetLedOn(bool value);
  bool SetLedWidth(int value);
  bool SetLedHeight(int value);
  bool SetLedPlasticSubsMode(TLXglSubstanceMode value);
  bool SetBorderSubsMode(TLXglSubstanceMode value);
  bool SetGaloON(bool value);
  bool SetGaloSize(int value);
  bool SetGaloIntensity(int value);
  // A null or empty picture empties the texture.
  void SetBorderSubstance(const Bitmap24* picture);
  void SetLedPlasticSubstance(const Bitmap24* picture);

  int Width() const { return width_; }
  int Height() const { return height_; }
  TLXLedClass LedClass() const { return ledClass_; }
  int LedPlasticDepth() const { return plasticDepth_; }
  int Gap() const { return gap_; }
  TColor GapColor() const { return gapColor_; }
  int Angle() const { return angle_; }
  TLXBorderLedStyle InnerBorderStyle() const { return innerStyle_; }
  TLXBorderLedStyle OuterBorderStyle() const { return outerStyle_; }
  int InnerBorderDepth() const { return innerDepth_; }
  int OuterBorderDepth() const { return outerDepth_; }
  TColor BorderColor() const { return borderColor_; }
  TColor LedPlasticColor() const { return plasticColor_; }
  bool LedOn() const { return ledOn_; }
  int LedWidth() const { return ledWidth_; }
  int LedHeight() const { return ledHeight_; }
  TLXglSubstanceMode LedPlasticSubsMode() const { return plasticMode_; }
  TLXglSubstanceMode BorderSubsMode() const { return borderMode_; }
  bool GaloON() const { return galoOn_; }
  int GaloSize() const { return galoSize_; }
  int GaloIntensity() const { return galoIntensity_; }
  const Bitmap24& BorderSubstance() const { return borderSubstance_; }
  const Bitmap24& LedPlasticSubstance() const { return plasticSubstance_; }
  const Bitmap24& BorderLight() const { return borderLight_; }
  const Bitmap24& BorderDark() const { return borderDark_; }

  int FrameWidth() const { return frameWidth_; }
  int FrameHeight() const { return frameHeight_; }
  int FrameTotal() const;
  const TLXxyPoly& PlasticPoly() const { return plasticPoly_; }
  const TLXxyPoly& GapPoly() const { return gapPoly_; }
  const TLXxyPoly& InnerPoly() const { return innerPoly_; }
  const TLXxyPoly& OuterPoly() const { return outerPoly_; }
  const TLXglPoly& PlasticDevice() const { return plasticDevice_; }
  const TLXglPoly& GapDevice() const { return gapDevice_; }
  const TLXglPoly& InnerDevice() const { return innerDevice_; }
  const TLXglPoly& OuterDevice() const { return outerDevice_; }
  const Bitmap24& Image() const { return image_; }
  bool HaloErasePending() const { return haloErasePending_; }

  // Geometry and picture.
  void UpdateBounds();
  void BuildShape();
  void RenderImage();

  // Window events handed over by the window code.
  void HandleCreated();              // the handle exists: build the outline
  void HandleSize(int width, int height);
  void HandleMove();
  // Paint: whether the parent must first wipe the halo area (clears the pending wipe).
  bool TakeHaloErase();
  bool DrawsHalo() const;
  TColor ResolvedPlasticColor() const { return resolve_(plasticColor_); }

  // The grain of the body is drawn from a source reseeded on every render, so a lamp
  // switched off and on shows the same grain.
  void SetGrainSeed(uint32_t seed) { grainSeed_ = seed; }

 private:
  bool AngleIsRight() const;  // a multiple of 90 degrees
  void GeometryChanged();     // UpdateBounds, RenderImage, invalidate
  void PictureChanged();      // RenderImage, invalidate
  void Invalidate();
  // What a property's new value makes stale: the bounds, the picture, or only the screen.
  enum class Redraw { Geometry, Picture, Screen };
  // Stores an accepted value that differs from the current one, then redraws as it needs;
  // answers whether it stored.
  template <typename T>
  bool Update(T& field, T value, bool accepted, Redraw redraw);
  void ApplySize(int width, int height);
  void MakeBorderShades();
  void ShadeBody(double plasticDepthRatio, int brightness);
  void DrawRing(const TLXglPoly& inside, const TLXglPoly& outsideDevice, const TLXxyPoly& outside,
                TLXBorderLedStyle style);
  void FillRegion(const PixelMask& mask, TColor rgb);

  LumexLEDHost* host_;
  ColorResolver resolve_;

  int width_ = kInitialWidth;
  int height_ = kInitialHeight;
  TLXLedClass ledClass_ = TLXLedClass::lxlcRect;
  int plasticDepth_ = 5;
  int gap_ = 0;
  TColor gapColor_ = kColorGrey;
  int angle_ = 0;
  TLXBorderLedStyle innerStyle_ = TLXBorderLedStyle::lxblsNone;
  TLXBorderLedStyle outerStyle_ = TLXBorderLedStyle::lxblsDown;
  int innerDepth_ = 0;
  int outerDepth_ = 2;
  TColor borderColor_ = kColorGrey;
  TColor plasticColor_ = kColorRed;
  bool ledOn_ = false;
  int ledWidth_ = 22;
  int ledHeight_ = 12;
  TLXglSubstanceMode plasticMode_ = TLXglSubstanceMode::lxsmTile;
  TLXglSubstanceMode borderMode_ = TLXglSubstanceMode::lxsmTile;
  bool galoOn_ = false;
  int galoSize_ = 10;
  int galoIntensity_ = 5;

  Bitmap24 borderSubstance_;
  Bitmap24 plasticSubstance_;
  Bitmap24 borderLight_;
  Bitmap24 borderDark_;
  Bitmap24 image_{kInitialWidth, kInitialHeight};

  int frameWidth_ = kInitialWidth;
  int frameHeight_ = kInitialHeight;
  TLXxyPoly plasticPoly_, gapPoly_, innerPoly_, outerPoly_;
  TLXglPoly plasticDevice_, gapDevice_, innerDevice_, outerDevice_;
  bool haloErasePending_ = false;
  uint32_t grainSeed_ = 0x1F2E3D4Cu;
};

}  // namespace pur
