// Value formats of the file list dialog: its placement over the main window, each row's
// attribute letters and its starting tick. Windows-free, so that the host tests share it. Its
// sizes are the run summary's (uUserMainPrgm_Format.h).
#pragma once

#include <cstdint>
#include <string>

namespace pur {

struct WindowPlace {
  int left = 0;
  int top = 0;
};

// Centres a form of formWidth x formHeight over the main window's rectangle, then keeps it
// on a screen of screenWidth x screenHeight (left and top first, then right and bottom).
WindowPlace CenterOver(int mainLeft, int mainTop, int mainWidth, int mainHeight, int formWidth,
                       int formHeight, int screenWidth, int screenHeight);

// Attribute letters of a file, "A", "H", "R", "S" in this order, from its attribute bits.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrArchive = 0x20;
std::string AttrLettersOf(uint32_t attributes);

// A row starts ticked exactly when its letters name none of read-only, hidden and system.
bool StartsTicked(const std::string& attrLetters);

}  // namespace pur
