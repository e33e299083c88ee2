#include "uUserMainPrgm_Format.h"

#include <array>
#include <charconv>

namespace pur {

namespace {

constexpr std::array<const char*, kSizeUnitCount> kSizeUnits = {"octet(s)", "Ko", "Mo", "Go",
                                                                 "To",       "Po", "Eo"};
constexpr int64_t kUnitThreshold = 1000;
constexpr int64_t kUnitStep = 1024;
constexpr int kSizeDecimals = 2;
constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kSecondsPerMinute = 60;
constexpr int64_t kMinutesPerHour = 60;

// Fixed notation without locale, so the separator is always a point.
std::string Fixed2(double value) {
  std::array<char, 64> buf{};
  auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed,
                           kSizeDecimals);
  return std::string(buf.data(), res.ptr);
}

std::string Part(int64_t value) { return PadLeft(std::to_string(value), 2, '0'); }

}  // namespace

const char* SizeUnitName(int index) {
  if (index < 0 || index >= kSizeUnitCount) return "";
  return kSizeUnits[static_cast<size_t>(index)];
}

std::string FormatSize(int64_t bytes) {
  int64_t v = bytes;
  int unit = 0;
  while (v >= kUnitThreshold) {
    v /= kUnitStep;
    ++unit;
  }
  if (unit > kSizeUnitCount - 1) unit = kSizeUnitCount - 1;
  double scaled = static_cast<double>(bytes);
  for (int i = 0; i < unit; ++i) scaled /= static_cast<double>(kUnitStep);
  return Fixed2(scaled) + " " + SizeUnitName(unit);
}

std::string FormatDuration(int64_t ms) {
  const int64_t hours = ms / kMsPerSecond / kSecondsPerMinute / kMinutesPerHour;
  const int64_t minutes = ms / (kMsPerSecond * kSecondsPerMinute) - hours * kMinutesPerHour;
  const int64_t seconds = ms / kMsPerSecond - hours * kMinutesPerHour * kSecondsPerMinute -
                          minutes * kSecondsPerMinute;
  return Part(hours) + ":" + Part(minutes) + ":" + Part(seconds);
}

std::string PadLeft(const std::string& text, int width, char ch) {
  if (width <= 0 || text.size() >= static_cast<size_t>(width)) return text;
  return std::string(static_cast<size_t>(width) - text.size(), ch) + text;
}

}  // namespace pur
