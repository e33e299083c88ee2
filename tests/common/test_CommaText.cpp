#include "CommaText.h"

#include <gtest/gtest.h>

using pur::LeadBytePredicate;
using pur::ReadCommaText;
using pur::StringList;
using pur::WriteCommaText;

namespace {

bool ShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

TEST(CommaText, WritesItemsAsTheBoundaryExpects) {
  struct Case {
    StringList items;
    std::string text;
  } cases[] = {
      {{}, ""},
      {{""}, "\"\""},
      {{"C:\\a.tmp"}, "C:\\a.tmp"},
      {{"C:\\My Files\\a.tmp", "b"}, "\"C:\\My Files\\a.tmp\",b"},
      {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
      {{"a,b", "c"}, "\"a,b\",c"},
      {{"tab\there"}, "\"tab\there\""},
      {{"a", "", "b"}, "a,,b"},
      {{"a", ""}, "a,\"\""},
      {{"PUR400-123|Purgo for Windows"}, "\"PUR400-123|Purgo for Windows\""},
      {{"café"}, "café"},
  };
  for (const auto& c : cases) EXPECT_EQ(WriteCommaText(c.items, nullptr), c.text) << c.text;
}

TEST(CommaText, ReadsByTheBoundaryRules) {
  struct Case {
    std::string text;
    StringList items;
  } cases[] = {
      {"", {}},
      {"   \t ", {}},
      {"\"\"", {""}},
      {"a,b", {"a", "b"}},
      {"  a ,  b  ", {"a", "b"}},
      {"a,,b", {"a", "", "b"}},
      {"a b", {"a", "b"}},
      {"\"a \"\"q\"\" b\",c", {"a \"q\" b", "c"}},
      {"\"unterminated, still", {"unterminated, still"}},
      {"\"a\"b", {"a", "b"}},
      {",a", {"", "a"}},
      {"a,", {"a"}},
      {std::string("a,b\0c", 5), {"a", "b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadCommaText(c.text, nullptr), c.items) << c.text;
}

TEST(CommaText, RoundTripKeepsEveryList) {
  StringList lists[][1] = {{{""}}, {{"", ""}}, {{"a", ""}}, {{"", "a", ""}}, {{" lead", "trail ", "\"", ","}}};
  for (const auto& l : lists)
    EXPECT_EQ(ReadCommaText(WriteCommaText(l[0], nullptr), nullptr), l[0]) << WriteCommaText(l[0], nullptr);
}

TEST(CommaText, DoubleByteTrailBytesAreNotDelimiters) {
  // 0x81 0x2C is one character in code page 932: its trail byte is not a comma.
  std::string item = "x\x81,y";
  EXPECT_EQ(WriteCommaText({item}, ShiftJisLead), item);
  EXPECT_EQ(ReadCommaText(item, ShiftJisLead), StringList{item});
  EXPECT_EQ(ReadCommaText(item, nullptr), (StringList{"x\x81", "y"}));
  // A trail byte equal to a quote inside a quoted item is not doubled and does not close it.
  std::string quoted = "a b\x81\"";
  std::string text = WriteCommaText({quoted}, ShiftJisLead);
  EXPECT_EQ(text, "\"a b\x81\"\"");
  EXPECT_EQ(ReadCommaText(text, ShiftJisLead), StringList{quoted});
}

TEST(CommaText, WrittenIntoABufferAsWriteCommaTextWritesIt) {
  struct Case {
    StringList items;
    LeadBytePredicate isLead;
  } cases[] = {
      {{}, nullptr},
      {{""}, nullptr},
      {{"", ""}, nullptr},
      {{"C:\\a.tmp"}, nullptr},
      {{"C:\\My Files\\a.tmp", "b"}, nullptr},
      {{"say \"hi\"", "\"\"\""}, nullptr},
      {{"a,b", "c", ""}, nullptr},
      {{"tab\there", " lead", "trail "}, nullptr},
      {{"a", "", "b"}, nullptr},
      {{"caf\xC3\xA9", "\x7F", std::string("nul\0in", 6)}, nullptr},
      {{"x\x81,y", "a b\x81\"", "end\x81"}, ShiftJisLead},
      {{"x\x81,y", "a b\x81\"", "end\x81"}, nullptr},
  };
  for (const Case& c : cases) {
    const std::string expected = WriteCommaText(c.items, c.isLead);
    auto item = [&](size_t i) { return std::string_view(c.items[i]); };
    const size_t size = pur::CommaTextSize(c.items.size(), item, c.isLead);
    // One byte more than needed, to see that nothing is written past the text.
    std::string buffer(size + 1, '#');
    char* end = pur::WriteCommaTextTo(buffer.data(), c.items.size(), item, c.isLead);
    EXPECT_EQ(size, expected.size()) << expected;
    EXPECT_EQ(end - buffer.data(), static_cast<std::ptrdiff_t>(size)) << expected;
    EXPECT_EQ(buffer, expected + '#');
  }
}
