#include <gtest/gtest.h>

#include "VersionNumbers.h"

namespace pur {
namespace {

TEST(ParseVersion, ReadsDottedTexts) {
  struct Case {
    const char* text;
    TVersionNumbers expected;
  } cases[] = {
      {"", {0, 0, 0, 0}},
      {"4.0", {4, 0, 0, 0}},
      {"4.0.1.20", {4, 0, 1, 20}},
      {"1.2.3.4.5", {1, 2, 3, 4}},
      {"7", {7, 0, 0, 0}},
      {"4.", {4, 0, 0, 0}},
      {"1.2.3.4.", {1, 2, 3, 4}},
      {"-1.+2.0.2147483647", {-1, 2, 0, 2147483647}},
      {"65535.65535.65535.65535", {65535, 65535, 65535, 65535}},
  };
  for (const Case& c : cases) {
    TVersionNumbers got = ParseVersion(c.text);
    EXPECT_EQ(got, c.expected) << "text '" << c.text << "' gave " << got.Major << "." << got.Minor
                               << "." << got.Release << "." << got.Build;
  }
}

TEST(ParseVersion, PartsThatAreNoIntegerFailWithTheConversionError) {
  const char* texts[] = {"4..1",      ".",        "a.b",        "4.0.1.20 ", " 4",
                         "1.2.3.4.x", "2147483648", "1.-",       "0x10",
                         "+-1",       "1e3"};
  for (const char* text : texts) {
    EXPECT_THROW(ParseVersion(text), EConvertError) << "text '" << text << "'";
  }
}

TEST(ParseVersion, ConversionErrorNamesThePart) {
  try {
    ParseVersion("4..1");
    FAIL() << "no error";
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "'' is not a valid integer value");
  }
  try {
    ParseVersion("3.x");
    FAIL() << "no error";
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "'x' is not a valid integer value");
  }
}

TEST(StrToInt, Limits) {
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(StrToInt("2147483647"), INT32_MAX);
  EXPECT_EQ(StrToInt("007"), 7);
  EXPECT_THROW(StrToInt("-2147483649"), EConvertError);
  EXPECT_THROW(StrToInt("99999999999999999999"), EConvertError);
  EXPECT_THROW(StrToInt("-"), EConvertError);
  EXPECT_THROW(StrToInt(""), EConvertError);
}

TEST(FormatVersion, TakesEachHalfWordAsUnsigned) {
  struct Case {
    uint32_t ms, ls;
    const char* expected;
  } cases[] = {
      {0x00040000, 0x00010014, "4.0.1.20"},
      {0, 0, "0.0.0.0"},
      {0xFFFFFFFF, 0xFFFF0001, "65535.65535.65535.1"},
      {0x80000001, 0x00028000, "32768.1.2.32768"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatVersion(c.ms, c.ls), c.expected) << std::hex << c.ms << " " << c.ls;
  }
}

TEST(FormatBanner, FillsTheFormatInOrder) {
  struct Case {
    const char* format;
    const char* expected;
  } cases[] = {
      {"%s v%d.%d %s", "Purgo for Windows v4.0 (C) Corvane"},
      {"%s", "Purgo for Windows"},
      {"100%% %d", "100% 4"},
      // More conversions than arguments, unknown ones and a lone % at the end stay harmless.
      {"%s %s %s %d %d %d", "Purgo for Windows (C) Corvane  4 0 "},
      {"%x %n %", "%x %n %"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatBanner(c.format, "Purgo for Windows", 4, 0, "(C) Corvane"), c.expected)
        << "format '" << c.format << "'";
  }
}

}  // namespace
}  // namespace pur
