// Formats of the run's lines, shown by the main window and written by the agent: one-argument
// texts, byte counts with a unit, durations, joined lines, and the progress bar's position.
// Windows-free.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pur {

// Number of entries of the unit table of FormatSize ("octet(s)" .. "Eo").
inline constexpr int kSizeUnitCount = 7;
const char* SizeUnitName(int index);

// Byte count as "<value with two decimals> <unit>", unit steps of 1024 chosen at 1000.
std::string FormatSize(int64_t bytes);

// Milliseconds as "HH:MM:SS", each part at least two digits, hours unlimited.
std::string FormatDuration(int64_t ms);

// `text` preceded by `ch` until it is `width` characters long; longer texts unchanged.
std::string PadLeft(const std::string& text, int width, char ch);

// A format with one "%s", filled with `text` (which may hold any byte, "%" included).
inline std::string FormatText(const char* format, const std::string& text) {
  const int size = std::snprintf(nullptr, 0, format, text.c_str());
  if (size <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(size) + 1);
  std::snprintf(buffer.data(), buffer.size(), format, text.c_str());
  return std::string(buffer.data(), static_cast<size_t>(size));
}

// A format with one "%d".
inline std::string FormatNumber(const char* format, int32_t number) {
  const int size = std::snprintf(nullptr, 0, format, static_cast<int>(number));
  if (size <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(size) + 1);
  std::snprintf(buffer.data(), buffer.size(), format, static_cast<int>(number));
  return std::string(buffer.data(), static_cast<size_t>(size));
}

// The bar's position for a progress value: `steps` for 1, rounded to the nearest step and
// kept inside 0..steps (the library reports 100 at the end of some steps; NaN shows nothing).
inline int ProgressPosition(double percent, int steps) {
  if (!(percent > 0.0)) return 0;
  const double scaled = percent * steps;
  if (scaled >= steps) return steps;
  return static_cast<int>(std::lround(scaled));
}

// The lines of a list, each followed by CR LF, as one text.
inline std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace pur
