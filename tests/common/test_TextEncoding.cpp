#include "TextEncoding.h"

#include <gtest/gtest.h>

namespace {

TEST(TextEncoding, RecognisesValidUtf8) {
  struct Case {
    std::string text;
    bool valid;
  } cases[] = {
      {"", true},           {"plain.tmp", true},     {"été", true},             {"złoty", true},
      {"日本.tmp", true},    {"😀", true},            {"\xE9t\xE9", false},       {"Donn\xE9" "es", false},
      {"\xC3", false},      {"\xC0\xAF", false},     {"\xE0\x80\xAF", false},    {"\xED\xA0\x80", false},
      {"\xF4\x90\x80\x80", false}, {"\xF8\x88\x80\x80\x80", false}, {"\x80", false}, {"a\xFF", false},
  };
  for (const Case& c : cases) EXPECT_EQ(pur::IsValidUtf8(c.text), c.valid) << c.text;
}

TEST(TextEncoding, Cp1252BytesBecomeTheirCharacters) {
  struct Case {
    std::string cp1252;
    std::string utf8;
  } cases[] = {
      {"", ""},
      {"Donn\xE9" "es", "Données"},
      {"\xC0 propos", "À propos"},
      {"\x80\x8A\x9A\x9F\xFF", "€ŠšŸÿ"},
      {"\x85\x91\x92\x93\x94\x96\x97\x99", "…‘’“”–—™"},
      // Undefined in 1252: the C1 control of the same value, as Windows converts them.
      {"\x81\x8D\x8F\x90\x9D", "\u0081\u008D\u008F\u0090\u009D"},
      {"\xA0\xA9\xB0\xDF", "\u00A0©°ß"},
  };
  for (const Case& c : cases) EXPECT_EQ(pur::Cp1252ToUtf8(c.cp1252), c.utf8) << c.utf8;
}

TEST(TextEncoding, StoredTextIsConvertedOnlyWhenNotUtf8) {
  EXPECT_EQ(pur::StoredTextToUtf8("été"), "été");
  EXPECT_EQ(pur::StoredTextToUtf8("\xE9t\xE9"), "été");
  EXPECT_EQ(pur::StoredTextToUtf8("*.tmp"), "*.tmp");
  // "Ã©" in 1252 is also valid UTF-8 ("é"): such a name is taken as UTF-8.
  EXPECT_EQ(pur::StoredTextToUtf8("\xC3\xA9"), "é");
}

TEST(TextEncoding, CodePointsAndCaseFolding) {
  const std::string text = "aé日😀";
  size_t position = 0;
  std::vector<char32_t> seen;
  while (position < text.size()) {
    pur::TCodePoint c = pur::Utf8CodePointAt(text, position);
    seen.push_back(c.Value);
    position += c.Size;
  }
  EXPECT_EQ(seen, (std::vector<char32_t>{U'a', U'é', U'日', U'😀'}));
  struct Case {
    char32_t lower, upper;
  } pairs[] = {{U'a', U'A'}, {U'é', U'É'}, {U'ÿ', U'Ÿ'}, {U'ł', U'Ł'}, {U'ā', U'Ā'}, {U'ž', U'Ž'},
               {U'ĺ', U'Ĺ'}, {U'œ', U'Œ'}, {U'σ', U'Σ'}, {U'ς', U'Σ'}, {U'ά', U'Ά'}, {U'ώ', U'Ώ'},
               {U'я', U'Я'}, {U'ё', U'Ё'}, {U'Z', U'Z'}, {U'÷', U'÷'}, {U'日', U'日'}};
  for (const Case& c : pairs) {
    EXPECT_EQ(pur::FoldCodePoint(c.lower), c.upper) << uint32_t(c.lower);
    EXPECT_EQ(pur::FoldCodePoint(c.upper), c.upper) << uint32_t(c.upper);
  }
}

}  // namespace
