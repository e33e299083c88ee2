#include "LumexLEDImage.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pur {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRightAngleTolerance = 0.0001;
constexpr int kColorStep = 32;      // Lighter / Darker
constexpr int kShadeStep = 64;      // BorderLight / BorderDark
constexpr int kMaxByte = 255;
constexpr int kShadeSpan = 127;     // brightness lost from the centre to the rim
constexpr int kGrainBase = 15;      // grain adds 15 and takes up to 3 x depth - 1
constexpr int kGrainPerDepth = 3;
constexpr double kDepthScale = 20.0;
constexpr double kHaloScale = 10.0;
constexpr double kRoundLimit = 2147483647.0;

// Rounds halves to even, as the framework does; non-finite or huge values are a fault.
bool RoundChecked(double value, long& out) {
  if (!std::isfinite(value) || std::fabs(value) > kRoundLimit) return false;
  out = std::lrint(value);
  return true;
}

long RoundOrZero(double value) {
  long out = 0;
  return RoundChecked(value, out) ? out : 0;
}

uint8_t ClampByte(long value) {
  return static_cast<uint8_t>(std::clamp<long>(value, 0, kMaxByte));
}

TColor MakeRgb(int red, int green, int blue) {
  return static_cast<TColor>(ClampByte(red)) | (static_cast<TColor>(ClampByte(green)) << 8) |
         (static_cast<TColor>(ClampByte(blue)) << 16);
}

// A point of a shape with the direction in which the rings push it outward.
struct OutlinePoint {
  double x;
  double y;
  double moveX;
  double moveY;
  bool halfX;  // the trapezium's top corners move sideways by half the ring's thickness
};
using Outline = std::vector<OutlinePoint>;

int ArcPointCount(int w, int h) { return 2 * std::max(std::max(w, h), 1); }

Outline BodyOutline(TLXLedClass shape, int frame, int w, int h) {
  const double f = frame;
  switch (shape) {
    case TLXLedClass::lxlcRect:
      return {{f, f, -1, -1, false},
              {f + w, f, 1, -1, false},
              {f + w, f + h, 1, 1, false},
              {f, f + h, -1, 1, false}};
    case TLXLedClass::lxlcRound: {
      const int n = ArcPointCount(w, h);
      Outline out;
      for (int i = 0; i < n; ++i) {
        const double t = i * kPi / (n / 2);
        out.push_back({f + w / 2.0 + std::sin(t) * w / 2.0, f + h / 2.0 - std::cos(t) * h / 2.0,
                       std::sin(t), -std::cos(t), false});
      }
      return out;
    }
    case TLXLedClass::lxlcRomb:
      return {{f + w / 2, f, 0, -1, false},
              {f + w, f + h / 2, 1, 0, false},
              {f + w / 2, f + h, 0, 1, false},
              {f, f + h / 2, -1, 0, false}};
    case TLXLedClass::lxlcHalfCircle: {
      const int n = ArcPointCount(w, h);
      Outline out;
      for (int i = 0; i < n; ++i) {
        const double t = i * kPi / (n - 1);
        out.push_back({f + std::sin(t) * w, f + h / 2.0 - std::cos(t) * h / 2.0, std::sin(t),
                       -std::cos(t), false});
      }
      out.push_back({f, f + h, -1, 1, false});
      out.push_back({f, f, -1, -1, false});
      return out;
    }
    case TLXLedClass::lxlcTriangle:
      return {{f + w / 2, f, 0, -1, false}, {f + w, f + h, 1, 1, false}, {f, f + h, -1, 1, false}};
    case TLXLedClass::lxlcTrapezium:
      return {{f + w / 4, f, -1, -1, true},
              {f + (3 * w) / 4, f, 1, -1, true},
              {f + w, f + h, 1, 1, false},
              {f, f + h, -1, 1, false}};
  }
  return {};
}

Outline Moved(const Outline& inside, int d) {
  Outline out = inside;
  for (auto& p : out) {
    p.x += p.halfX ? p.moveX * (d / 2) : p.moveX * d;
    p.y += p.moveY * d;
  }
  return out;
}

TLXxyPoly PointsOf(const Outline& outline) {
  TLXxyPoly poly;
  poly.reserve(outline.size());
  for (const auto& p : outline) poly.push_back({p.x, p.y});
  return poly;
}

TLXglPoly Quad(const TLXglPoly& inside, const TLXglPoly& outside, size_t i) {
  const size_t j = (i + 1) % inside.size();
  return {inside[i], outside[i], outside[j], inside[j]};
}

// Stores an accepted value that differs from the current one; answers whether it did.
template <typename T>
bool Store(T& field, T value, bool accepted) {
  if (!accepted || value == field) return false;
  field = value;
  return true;
}

void CopyPixel(Bitmap24& target, int x, int y, const uint8_t* src) {
  uint8_t* dst = target.Pixel(x, y);
  dst[0] = src[0];
  dst[1] = src[1];
  dst[2] = src[2];
}

}  // namespace

TColor PlainColorToRGB(TColor color) { return color & 0x00FFFFFFu; }

TColor Lighter(TColor rgb) {
  return MakeRgb(RedOf(rgb) + kColorStep, GreenOf(rgb) + kColorStep, BlueOf(rgb) + kColorStep);
}

TColor Darker(TColor rgb) {
  return MakeRgb(RedOf(rgb) - kColorStep, GreenOf(rgb) - kColorStep, BlueOf(rgb) - kColorStep);
}


void Bitmap24::Resize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  if (width_ == 0 || height_ == 0) width_ = height_ = 0;
  stride_ = ((width_ * 3) + 3) & ~3;
  bytes_.assign(static_cast<size_t>(stride_) * static_cast<size_t>(height_), 0);
}

void Bitmap24::SetPixel(int x, int y, uint8_t blue, uint8_t green, uint8_t red) {
  uint8_t* p = Pixel(x, y);
  p[0] = blue;
  p[1] = green;
  p[2] = red;
}

Bitmap24 ShiftedCopy(const Bitmap24& source, int delta) {
  Bitmap24 copy = source;
  for (int y = 0; y < copy.Height(); ++y) {
    for (int x = 0; x < copy.Width(); ++x) {
      uint8_t* p = copy.Pixel(x, y);
      for (int c = 0; c < 3; ++c) p[c] = ClampByte(p[c] + delta);
    }
  }
  return copy;
}


int PixelMask::Count() const {
  return static_cast<int>(std::count(bits_.begin(), bits_.end(), uint8_t{1}));
}

void PixelMask::AddPolygon(const TLXglPoly& polygon) {
  const size_t n = polygon.size();
  if (n < 3) return;
  std::vector<double> crossings;
  for (int y = 0; y < height_; ++y) {
    const double yc = y + 0.5;
    crossings.clear();
    for (size_t i = 0; i < n; ++i) {
      const TLXglPoint& p = polygon[i];
      const TLXglPoint& q = polygon[(i + 1) % n];
      const bool spans = (p.y <= yc && yc < q.y) || (q.y <= yc && yc < p.y);
      if (!spans) continue;
      crossings.push_back(p.x + (yc - p.y) * (q.x - p.x) / static_cast<double>(q.y - p.y));
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t k = 0; k + 1 < crossings.size(); k += 2) {
      // Pixel centres x + 0.5 in [from, to).
      const int first = std::max(0, static_cast<int>(std::ceil(crossings[k] - 0.5)));
      const double last = std::min<double>(width_, std::ceil(crossings[k + 1] - 0.5));
      for (int x = first; x < last; ++x) Set(x, y);
    }
  }
}


std::vector<TLXglPoint> TilePositions(int width, int height, int textureWidth,
                                      int textureHeight) {
  std::vector<TLXglPoint> tiles;
  if (textureWidth <= 0 || textureHeight <= 0 || width < 0 || height < 0) return tiles;
  const int columns = width / textureWidth + 1;
  const int rows = height / textureHeight + 1;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) tiles.push_back({c * textureWidth, r * textureHeight});
  return tiles;
}

void CoverWithTexture(Bitmap24& target, const Bitmap24& texture, TLXglSubstanceMode mode,
                      const PixelMask* clip) {
  if (texture.Empty() || target.Empty()) return;
  const int w = target.Width();
  const int h = target.Height();
  const auto allowed = [&](int x, int y) { return clip == nullptr || clip->Test(x, y); };
  if (mode == TLXglSubstanceMode::lxsmStretch) {
    for (int y = 0; y < h; ++y) {
      const int sy = static_cast<int>(static_cast<int64_t>(y) * texture.Height() / h);
      for (int x = 0; x < w; ++x) {
        if (!allowed(x, y)) continue;
        const int sx = static_cast<int>(static_cast<int64_t>(x) * texture.Width() / w);
        CopyPixel(target, x, y, texture.Pixel(sx, sy));
      }
    }
    return;
  }
  for (const TLXglPoint& tile : TilePositions(w, h, texture.Width(), texture.Height())) {
    for (int ty = 0; ty < texture.Height() && tile.y + ty < h; ++ty) {
      for (int tx = 0; tx < texture.Width() && tile.x + tx < w; ++tx) {
        if (allowed(tile.x + tx, tile.y + ty))
          CopyPixel(target, tile.x + tx, tile.y + ty, texture.Pixel(tx, ty));
      }
    }
  }
}

void ApplyHalo(Bitmap24& screen, int intensity, TColor plasticRgb) {
  const double w = screen.Width();
  const double h = screen.Height();
  const int component[3] = {BlueOf(plasticRgb), GreenOf(plasticRgb), RedOf(plasticRgb)};
  for (int y = 0; y < screen.Height(); ++y) {
    const double ny = 2.0 * y / h - 1.0;
    for (int x = 0; x < screen.Width(); ++x) {
      const double nx = 2.0 * x / w - 1.0;
      const double glow = (kMaxByte - kMaxByte * std::sqrt(nx * nx + ny * ny)) * intensity /
                          kHaloScale;
      const long l = ClampByte(RoundOrZero(glow));
      uint8_t* p = screen.Pixel(x, y);
      for (int c = 0; c < 3; ++c)
        p[c] = static_cast<uint8_t>(std::min<long>(kMaxByte, p[c] + (l * component[c]) / kMaxByte));
    }
  }
}


TLXxyPoly RotatePoly(const TLXxyPoly& poly, int angleTenths, int controlWidth, int controlHeight,
                     int frameU, int frameV) {
  const double a = angleTenths * kPi / LumexLEDModel::kHalfTurn;
  const double c = std::cos(a);
  const double s = std::sin(a);
  const double ex = controlWidth / 2.0 - (c * frameU / 2.0 + s * frameV / 2.0);
  const double ey = controlHeight / 2.0 - (-s * frameU / 2.0 + c * frameV / 2.0);
  TLXxyPoly out;
  out.reserve(poly.size());
  for (const auto& p : poly) out.push_back({ex + c * p.x + s * p.y, ey - s * p.x + c * p.y});
  return out;
}

TLXglPoly ToDevicePoly(const TLXxyPoly& poly) {
  TLXglPoly out;
  out.reserve(poly.size());
  for (const auto& p : poly)
    out.push_back({static_cast<int32_t>(RoundOrZero(p.x)), static_cast<int32_t>(RoundOrZero(p.y))});
  return out;
}

bool IsShadowSide(int directionTenths) {
  const double t = directionTenths * kPi / LumexLEDModel::kHalfTurn;
  const double limit = 1.0 / std::sqrt(2.0);
  if (std::sin(t) > 0) return std::cos(t) <= -limit;
  return std::cos(t) <= limit;
}

int EdgeDirection(TLXBorderLedStyle style, const TLXxyPoint& from, const TLXxyPoint& to) {
  const double dx = to.x - from.x;
  const double dy = from.y - to.y;  // y counts upward
  int direction = style == TLXBorderLedStyle::lxblsDown ? LumexLEDModel::kHalfTurn : 0;
  const long rdx = RoundOrZero(dx);
  const long rdy = RoundOrZero(dy);
  if (rdx == 0 && rdy == 0) return direction;
  if (rdx != 0) {
    const double sum = std::fabs(dx) + std::fabs(dy);
    direction += static_cast<int>(
        RoundOrZero(std::atan2(dy / sum, dx / sum) * LumexLEDModel::kHalfTurn / kPi));
  } else {
    direction += dy > 0 ? 900 : -900;
  }
  return direction;
}


LumexLEDModel::LumexLEDModel(LumexLEDHost* host, ColorResolver resolver)
    : host_(host), resolve_(resolver ? resolver : &PlainColorToRGB) {}

int LumexLEDModel::FrameTotal() const {
  int total = gap_;
  if (innerStyle_ != TLXBorderLedStyle::lxblsNone) total += innerDepth_;
  if (outerStyle_ != TLXBorderLedStyle::lxblsNone) total += outerDepth_;
  return total;
}

bool LumexLEDModel::AngleIsRight() const {
  const double a = angle_ * kPi / kHalfTurn;
  return std::fabs(std::cos(a)) < kRightAngleTolerance ||
         std::fabs(std::sin(a)) < kRightAngleTolerance;
}

void LumexLEDModel::Invalidate() {
  if (host_) host_->InvalidateControl();
}

void LumexLEDModel::GeometryChanged() {
  UpdateBounds();
  RenderImage();
  Invalidate();
}

void LumexLEDModel::PictureChanged() {
  RenderImage();
  Invalidate();
}

void LumexLEDModel::ApplySize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (host_) {
    host_->SetControlSize(width, height);
    return;
  }
  // Without a window the size change arrives at once, as WM_SIZE would.
  if (width != width_ || height != height_) HandleSize(width, height);
}

void LumexLEDModel::MakeBorderShades() {
  borderLight_ = ShiftedCopy(borderSubstance_, kShadeStep);
  borderDark_ = ShiftedCopy(borderSubstance_, -kShadeStep);
}

template <typename T>
bool LumexLEDModel::Update(T& field, T value, bool accepted, Redraw redraw) {
  if (!Store(field, value, accepted)) return false;
  switch (redraw) {
    case Redraw::Geometry:
      GeometryChanged();
      break;
    case Redraw::Picture:
      PictureChanged();
      break;
    case Redraw::Screen:
      Invalidate();
      break;
  }
  return true;
}

bool LumexLEDModel::SetWidth(int value) {
  if (!AngleIsRight() || value == width_) return false;
  frameWidth_ = value;
  ApplySize(value, height_);
  return true;
}

bool LumexLEDModel::SetHeight(int value) {
  if (!AngleIsRight() || value == height_) return false;
  frameHeight_ = value;
  ApplySize(width_, value);
  return true;
}

bool LumexLEDModel::SetLedClass(TLXLedClass value) {
  return Update(ledClass_, value, true, Redraw::Geometry);
}

bool LumexLEDModel::SetGap(int value) {
  return Update(gap_, value, value >= 0, Redraw::Geometry);
}

bool LumexLEDModel::SetInnerBorderDepth(int value) {
  return Update(innerDepth_, value, value >= 0, Redraw::Geometry);
}

bool LumexLEDModel::SetInnerBorderStyle(TLXBorderLedStyle value) {
  return Update(innerStyle_, value, true, Redraw::Geometry);
}

bool LumexLEDModel::SetOuterBorderDepth(int value) {
  return Update(outerDepth_, value, value >= 0, Redraw::Geometry);
}

bool LumexLEDModel::SetOuterBorderStyle(TLXBorderLedStyle value) {
  return Update(outerStyle_, value, true, Redraw::Geometry);
}

bool LumexLEDModel::SetLedWidth(int value) {
  return Update(ledWidth_, value, value >= 0, Redraw::Geometry);
}

bool LumexLEDModel::SetLedHeight(int value) {
  return Update(ledHeight_, value, value >= 0, Redraw::Geometry);
}

bool LumexLEDModel::SetBorderColor(TColor value) {
  return Update(borderColor_, value, true, Redraw::Picture);
}

bool LumexLEDModel::SetBorderSubsMode(TLXglSubstanceMode value) {
  return Update(borderMode_, value, true, Redraw::Picture);
}

bool LumexLEDModel::SetGapColor(TColor value) {
  return Update(gapColor_, value, true, Redraw::Picture);
}

bool LumexLEDModel::SetLedOn(bool value) {
  return Update(ledOn_, value, true, Redraw::Picture);
}

bool LumexLEDModel::SetLedPlasticColor(TColor value) {
  return Update(plasticColor_, value, true, Redraw::Picture);
}

bool LumexLEDModel::SetLedPlasticDepth(int value) {
  const bool accepted = value >= kMinPlasticDepth && value <= kMaxPlasticDepth;
  return Update(plasticDepth_, value, accepted, Redraw::Picture);
}

bool LumexLEDModel::SetLedPlasticSubsMode(TLXglSubstanceMode value) {
  return Update(plasticMode_, value, true, Redraw::Picture);
}

bool LumexLEDModel::SetGaloSize(int value) {
  return Update(galoSize_, value, value >= 0 && value <= kMaxGaloSize, Redraw::Screen);
}

bool LumexLEDModel::SetGaloIntensity(int value) {
  const bool accepted = value >= kMinGaloIntensity && value <= kMaxGaloIntensity;
  return Update(galoIntensity_, value, accepted, Redraw::Screen);
}

bool LumexLEDModel::SetAngle(int value) {
  // Into -1799 .. 1800, in 64 bits so that extreme values cannot overflow.
  const int64_t shifted = static_cast<int64_t>(value) + (kHalfTurn - 1);
  const int64_t normal = ((shifted % kFullTurn) + kFullTurn) % kFullTurn - (kHalfTurn - 1);
  if (normal == angle_) return false;
  angle_ = static_cast<int>(normal);
  GeometryChanged();
  return true;
}

bool LumexLEDModel::SetGaloON(bool value) {
  if (value == galoOn_) return false;
  haloErasePending_ = galoOn_ && !value;
  galoOn_ = value;
  Invalidate();
  return true;
}

void LumexLEDModel::SetBorderSubstance(const Bitmap24* picture) {
  if (picture == nullptr || picture->Empty()) {
    borderSubstance_.Clear();
    borderLight_.Clear();
    borderDark_.Clear();
  } else {
    borderSubstance_ = *picture;
    MakeBorderShades();
  }
  PictureChanged();
}

void LumexLEDModel::SetLedPlasticSubstance(const Bitmap24* picture) {
  if (picture == nullptr || picture->Empty())
    plasticSubstance_.Clear();
  else
    plasticSubstance_ = *picture;
  PictureChanged();
}


void LumexLEDModel::UpdateBounds() {
  const int f = FrameTotal();
  const double u = ledWidth_ + 2.0 * f;
  const double v = ledHeight_ + 2.0 * f;
  const double a = angle_ * kPi / kHalfTurn;
  const double c = std::cos(a);
  const double s = std::sin(a);
  frameWidth_ = static_cast<int>(RoundOrZero(std::fabs(c * u) + std::fabs(s * v)));
  frameHeight_ = static_cast<int>(RoundOrZero(std::fabs(s * u) + std::fabs(c * v)));
  ApplySize(frameWidth_, frameHeight_);
  BuildShape();
}

void LumexLEDModel::BuildShape() {
  const int f = FrameTotal();
  const Outline body = BodyOutline(ledClass_, f, ledWidth_, ledHeight_);
  const Outline gap = Moved(body, gap_);
  const Outline inner = innerStyle_ == TLXBorderLedStyle::lxblsNone ? gap : Moved(gap, innerDepth_);
  const Outline outer =
      outerStyle_ == TLXBorderLedStyle::lxblsNone ? inner : Moved(inner, outerDepth_);
  const int u = ledWidth_ + 2 * f;
  const int v = ledHeight_ + 2 * f;
  plasticPoly_ = RotatePoly(PointsOf(body), angle_, width_, height_, u, v);
  gapPoly_ = RotatePoly(PointsOf(gap), angle_, width_, height_, u, v);
  innerPoly_ = RotatePoly(PointsOf(inner), angle_, width_, height_, u, v);
  outerPoly_ = RotatePoly(PointsOf(outer), angle_, width_, height_, u, v);
  plasticDevice_ = ToDevicePoly(plasticPoly_);
  gapDevice_ = ToDevicePoly(gapPoly_);
  innerDevice_ = ToDevicePoly(innerPoly_);
  outerDevice_ = ToDevicePoly(outerPoly_);
  if (host_) host_->SetRegion(outerDevice_);
}


void LumexLEDModel::ShadeBody(double plasticDepthRatio, int brightness) {
  const int w = width_;
  const int h = height_;
  const int f = FrameTotal();
  const double halfW = w / 2.0;
  const double halfH = h / 2.0;
  const double m = std::min(halfW - f, halfH - f) * plasticDepthRatio;
  const double span = (halfW - f - m) + (halfH - f - m);
  std::minstd_rand grain(grainSeed_);
  std::uniform_int_distribution<int> pick(0, kGrainPerDepth * plasticDepth_ - 1);
  const bool textured = !plasticSubstance_.Empty();
  const TColor rgb = resolve_(plasticColor_);
  const int component[3] = {BlueOf(rgb), GreenOf(rgb), RedOf(rgb)};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double distance = std::fabs(x - halfW) + std::fabs(y - halfH);
      long v = RoundOrZero(kMaxByte - distance * kShadeSpan / span);
      v = ClampByte(v + kGrainBase - pick(grain));
      uint8_t* p = image_.Pixel(x, y);
      for (int c = 0; c < 3; ++c) {
        const int base = textured ? p[c] : component[c];
        p[c] = static_cast<uint8_t>(v * ((base * brightness) / 2) / kMaxByte);
      }
    }
  }
}

void LumexLEDModel::FillRegion(const PixelMask& mask, TColor rgb) {
  for (int y = 0; y < mask.Height(); ++y)
    for (int x = 0; x < mask.Width(); ++x)
      if (mask.Test(x, y)) image_.SetPixel(x, y, BlueOf(rgb), GreenOf(rgb), RedOf(rgb));
}

void LumexLEDModel::DrawRing(const TLXglPoly& inside, const TLXglPoly& outsideDevice,
                             const TLXxyPoly& outside, TLXBorderLedStyle style) {
  PixelMask lit(width_, height_);
  PixelMask shadow(width_, height_);
  const size_t n = std::min({inside.size(), outsideDevice.size(), outside.size()});
  for (size_t i = 0; i < n; ++i) {
    const int direction = EdgeDirection(style, outside[i], outside[(i + 1) % n]);
    (IsShadowSide(direction) ? shadow : lit).AddPolygon(Quad(inside, outsideDevice, i));
  }
  if (!borderSubstance_.Empty() && !borderLight_.Empty() && !borderDark_.Empty()) {
    CoverWithTexture(image_, borderLight_, borderMode_, &lit);
    CoverWithTexture(image_, borderDark_, borderMode_, &shadow);
    return;
  }
  const TColor rgb = resolve_(borderColor_);
  FillRegion(lit, Lighter(rgb));
  FillRegion(shadow, Darker(rgb));
}

void LumexLEDModel::RenderImage() {
  if (!borderSubstance_.Empty() && (borderLight_.Empty() || borderDark_.Empty()))
    MakeBorderShades();
  image_.Resize(width_, height_);
  if (image_.Empty()) return;
  if (!plasticSubstance_.Empty())
    CoverWithTexture(image_, plasticSubstance_, plasticMode_, nullptr);
  ShadeBody(plasticDepth_ / kDepthScale, ledOn_ ? 2 : 1);

  if (gap_ > 0 && plasticDevice_.size() == gapDevice_.size() && !gapDevice_.empty()) {
    PixelMask ring(width_, height_);
    for (size_t i = 0; i < gapDevice_.size(); ++i)
      ring.AddPolygon(Quad(plasticDevice_, gapDevice_, i));
    if (!borderSubstance_.Empty())
      CoverWithTexture(image_, borderSubstance_, borderMode_, &ring);
    else
      FillRegion(ring, resolve_(gapColor_));
  }
  if (outerStyle_ != TLXBorderLedStyle::lxblsNone)
    DrawRing(innerDevice_, outerDevice_, outerPoly_, outerStyle_);
  if (innerStyle_ != TLXBorderLedStyle::lxblsNone)
    DrawRing(gapDevice_, innerDevice_, innerPoly_, innerStyle_);
}


void LumexLEDModel::HandleCreated() { BuildShape(); }

void LumexLEDModel::HandleSize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  const bool right = AngleIsRight();
  if (right || (width_ == frameWidth_ && height_ == frameHeight_)) {
    if (right) {
      const int f = FrameTotal();
      const double c = std::cos(angle_ * kPi / kHalfTurn);
      const bool upright = std::fabs(std::fabs(c) - 1.0) <= kRightAngleTolerance;
      ledWidth_ = (upright ? width_ : height_) - 2 * f;
      ledHeight_ = (upright ? height_ : width_) - 2 * f;
      if (ledWidth_ < 0 || ledHeight_ < 0) {
        ledWidth_ = std::max(ledWidth_, 0);
        ledHeight_ = std::max(ledHeight_, 0);
        UpdateBounds();
        RenderImage();
        return;
      }
    }
    UpdateBounds();
    RenderImage();
  } else {
    // A lamp turned by another angle keeps the size its geometry calls for.
    ApplySize(frameWidth_, frameHeight_);
  }
  HandleMove();
}

void LumexLEDModel::HandleMove() {
  if (galoOn_ && ledOn_ && host_) host_->RedrawParent();
}

bool LumexLEDModel::TakeHaloErase() {
  const bool needed = galoOn_ || haloErasePending_;
  if (needed) haloErasePending_ = false;
  return needed;
}

bool LumexLEDModel::DrawsHalo() const { return ledOn_ && galoOn_ && galoSize_ > 0; }

}  // namespace pur
