// The run summary's formats: sizes with their unit, durations, padding.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "uUserMainPrgm_Format.h"

namespace {

TEST(FormatSize, ExamplesAndUnitBoundaries) {
  struct Case {
    int64_t bytes;
    const char* text;
  };
  const Case cases[] = {
      {0, "0.00 octet(s)"},
      {1, "1.00 octet(s)"},
      {999, "999.00 octet(s)"},
      {1000, "0.98 Ko"},  // chosen at 1000, divided by 1024
      {1023, "1.00 Ko"},
      {1024, "1.00 Ko"},
      {1536, "1.50 Ko"},
      {1023999, "1000.00 Ko"},  // the unit is chosen before rounding
      {1024000, "0.98 Mo"},
      {1048576, "1.00 Mo"},
      {5LL * 1024 * 1024 * 1024, "5.00 Go"},
      {1024LL * 1024 * 1024 * 1024, "1.00 To"},
      {1024LL * 1024 * 1024 * 1024 * 1024, "1.00 Po"},
      {1024LL * 1024 * 1024 * 1024 * 1024 * 1024, "1.00 Eo"},
      {INT64_MAX, "8.00 Eo"},
      {-1, "-1.00 octet(s)"},
      {-5000, "-5000.00 octet(s)"},  // negative counts stay in bytes
      {INT64_MIN, "-9223372036854775808.00 octet(s)"},
      {2147483647, "2.00 Go"},
  };
  for (const auto& c : cases) EXPECT_EQ(pur::FormatSize(c.bytes), c.text) << "bytes " << c.bytes;
}

TEST(FormatSize, UnitTable) {
  const char* expected[] = {"octet(s)", "Ko", "Mo", "Go", "To", "Po", "Eo"};
  for (int i = 0; i < pur::kSizeUnitCount; ++i) EXPECT_STREQ(pur::SizeUnitName(i), expected[i]);
  EXPECT_STREQ(pur::SizeUnitName(7), "");
  EXPECT_STREQ(pur::SizeUnitName(-1), "");
}

TEST(FormatDuration, Examples) {
  struct Case {
    int64_t ms;
    const char* text;
  };
  const Case cases[] = {
      {0, "00:00:00"},
      {999, "00:00:00"},
      {1000, "00:00:01"},
      {59999, "00:00:59"},
      {60000, "00:01:00"},
      {3599999, "00:59:59"},
      {3600000, "01:00:00"},
      {3723000, "01:02:03"},
      {86399000, "23:59:59"},
      {360000000, "100:00:00"},  // hours are not limited
      {-1000, "00:00:-1"},       // each part truncates toward zero
      {-3723000, "-1:-2:-3"},
      {INT64_MAX, "2562047788015:12:55"},
  };
  for (const auto& c : cases) EXPECT_EQ(pur::FormatDuration(c.ms), c.text) << "ms " << c.ms;
}

TEST(PadLeft, Widths) {
  struct Case {
    const char* text;
    int width;
    char ch;
    const char* expected;
  };
  const Case cases[] = {
      {"5", 2, '0', "05"},   {"", 2, '0', "00"},     {"12", 2, '0', "12"},
      {"100", 2, '0', "100"}, {"ab", 5, '*', "***ab"}, {"x", 0, '0', "x"},
      {"x", -3, '0', "x"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(pur::PadLeft(c.text, c.width, c.ch), c.expected) << c.text << " / " << c.width;
}

}  // namespace
