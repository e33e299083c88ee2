// Attribute letters, the starting tick and the dialog's placement rule.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "FileListFormat.h"

namespace {

TEST(AttrLetters, OrderAndTicks) {
  struct Case {
    uint32_t attributes;
    const char* letters;
    bool ticked;
  };
  const Case cases[] = {
      {0x00, "", true},
      {0x80, "", true},  // normal
      {0x20, "A", true},
      {0x01, "R", false},
      {0x02, "H", false},
      {0x04, "S", false},
      {0x27, "AHRS", false},
      {0xFFFFFFFF, "AHRS", false},  // attributes unreadable
      {0x10 | 0x20, "A", true},     // directory bit is not shown
  };
  for (const auto& c : cases) {
    const std::string letters = pur::AttrLettersOf(c.attributes);
    EXPECT_EQ(letters, c.letters) << std::hex << c.attributes;
    EXPECT_EQ(pur::StartsTicked(letters), c.ticked) << letters;
  }
}

TEST(CenterOver, CentresThenKeepsOnScreen) {
  struct Case {
    int mainLeft, mainTop, mainWidth, mainHeight;
    int formWidth, formHeight;
    int left, top;
  };
  // Screen 1024 x 768 throughout.
  const Case cases[] = {
      {100, 100, 600, 400, 200, 100, 300, 250},
      {100, 100, 601, 401, 200, 100, 300, 250},   // halves truncated
      {-50, -40, 100, 80, 300, 200, 0, 0},        // off the top left: pinned to 0
      {100, 100, 100, 100, 201, 201, 50, 50},     // negative halves truncated toward zero
      {900, 700, 400, 300, 300, 200, 724, 568},   // off the bottom right: pulled back
      {0, 0, 100, 100, 2000, 1000, -976, -232},   // larger than the screen: right edge wins
  };
  for (const auto& c : cases) {
    const pur::WindowPlace p = pur::CenterOver(c.mainLeft, c.mainTop, c.mainWidth, c.mainHeight,
                                               c.formWidth, c.formHeight, 1024, 768);
    EXPECT_EQ(p.left, c.left) << c.mainLeft << "," << c.mainTop;
    EXPECT_EQ(p.top, c.top) << c.mainLeft << "," << c.mainTop;
  }
}

}  // namespace
