// Value formats of the file list dialog and the run summary: byte counts with a unit,
// durations as hours:minutes:seconds, left padding, and the dialog's placement over the
// main window. Windows-free, so that the main window and the host tests share it.
#pragma once

#include <cstdint>
#include <string>

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

// Attribute letters of a file, "A", "H", "R", "S" in this order, from its attribute bits.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrArchive = 0x20;
std::string AttrLettersOf(uint32_t attributes);

// A row starts ticked exactly when its letters name none of read-only, hidden and system.
bool StartsTicked(const std::string& attrLetters);

struct WindowPlace {
  int left = 0;
  int top = 0;
};

// Centres a form of formWidth x formHeight over the main window's rectangle, then keeps it
// on a screen of screenWidth x screenHeight (left and top first, then right and bottom).
WindowPlace CenterOver(int mainLeft, int mainTop, int mainWidth, int mainHeight, int formWidth,
                       int formHeight, int screenWidth, int screenHeight);

}  // namespace pur
