#include "VersionNumbers.h"

#include <charconv>
#include <cstdio>
#include <limits>

namespace pur {

namespace {

constexpr uint32_t kHalfShift = 16;
constexpr uint32_t kHalfMask = 0xFFFF;
constexpr int kVersionParts = 4;

}  // namespace

std::string FormatVersion(uint32_t mostSignificant, uint32_t leastSignificant) {
  char text[48];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", (mostSignificant >> kHalfShift) & kHalfMask,
                mostSignificant & kHalfMask, (leastSignificant >> kHalfShift) & kHalfMask,
                leastSignificant & kHalfMask);
  return text;
}

int32_t StrToInt(std::string_view text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  // Magnitude as 64 bits so that -2147483648 converts while 2147483648 does not.
  int64_t magnitude = 0;
  const char* end = digits.data() + digits.size();
  auto [last, error] = std::from_chars(digits.data(), end, magnitude, 10);
  int64_t value = negative ? -magnitude : magnitude;
  bool inRange = value >= std::numeric_limits<int32_t>::min() &&
                 value <= std::numeric_limits<int32_t>::max();
  bool digitsOnly = !digits.empty() && digits.front() >= '0' && digits.front() <= '9';
  if (!digitsOnly || error != std::errc() || last != end || !inRange)
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return static_cast<int32_t>(value);
}

TVersionNumbers ParseVersion(std::string_view text) {
  if (text.empty()) text = "0.0.0.0";
  int32_t numbers[kVersionParts] = {};
  int index = 0;
  while (!text.empty()) {
    size_t dot = text.find('.');
    std::string_view part = text.substr(0, dot);
    int32_t value = StrToInt(part);
    if (index < kVersionParts) numbers[index++] = value;
    text.remove_prefix(dot == std::string_view::npos ? text.size() : dot + 1);
  }
  return {numbers[0], numbers[1], numbers[2], numbers[3]};
}

std::string FormatBanner(std::string_view format, std::string_view productName, int32_t major,
                         int32_t minor, std::string_view copyright) {
  const std::string_view texts[] = {productName, copyright};
  const int32_t numbers[] = {major, minor};
  size_t nextText = 0, nextNumber = 0;
  std::string result;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    char conversion = i + 1 < format.size() ? format[i + 1] : '\0';
    if (c != '%' || (conversion != 's' && conversion != 'd' && conversion != '%')) {
      result += c;
      continue;
    }
    ++i;
    if (conversion == '%') {
      result += '%';
    } else if (conversion == 's' && nextText < std::size(texts)) {
      result += texts[nextText++];
    } else if (conversion == 'd' && nextNumber < std::size(numbers)) {
      result += std::to_string(numbers[nextNumber++]);
    }
  }
  return result;
}

}  // namespace pur
