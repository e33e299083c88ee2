// The journal's text: centring, title choice, header, line splitting and joining.
#include <gtest/gtest.h>

#include "Cleanings.h"
#include "FileLogFormat.h"

namespace {

using pur::StringList;

TEST(CentreText, PutsTheOddSpaceToTheRight) {
  const struct { size_t length; size_t left; size_t right; } cases[] = {
      {40, 9, 9}, {41, 8, 9}, {0, 29, 29}, {1, 28, 29}, {57, 0, 1}, {58, 0, 0}, {59, 0, 0},
      {80, 0, 0},
  };
  for (const auto& c : cases) {
    const std::string text(c.length, 'x');
    for (const pur::TLogEncoding& encoding : {pur::kUtf8Entry, pur::kSingleByteEntry}) {
      EXPECT_EQ(pur::CentreText(text, encoding), std::string(c.left, ' ') + text + std::string(c.right, ' '))
          << c.length;
    }
  }
}

// Lead bytes of code page 932.
bool ShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

TEST(CentreText, CountsCharactersInTheEntrysOwnEncoding) {
  const pur::TLogEncoding shiftJis{false, &ShiftJisLead};
  const struct {
    std::string text;
    pur::TLogEncoding encoding;
    size_t characters;
  } cases[] = {
      // The program's banner: "©" is two bytes, one character.
      {"Purgo for Windows v4.0 Copyright © Corvane 1999-2026", pur::kUtf8Entry, 52},
      {"été", pur::kUtf8Entry, 3},
      {"\xF0\x9D\x84\x9E clef", pur::kUtf8Entry, 6},
      // Bytes that start no UTF-8 sequence count one each.
      {"\xE9t\xE9", pur::kUtf8Entry, 3},
      {"\xC3(\xA9", pur::kUtf8Entry, 3},
      // The same bytes in a code page 1252 entry are five characters, although valid UTF-8.
      {"été", pur::kSingleByteEntry, 5},
      {"\xE9t\xE9", pur::kSingleByteEntry, 3},
      // Code page 932: "日本" is two characters of two bytes; a lead byte at the end is one.
      {"\x93\xFA\x96\x7B", shiftJis, 2},
      {"a\x93", shiftJis, 2},
      {"\x93\xFA\x96\x7B", pur::kSingleByteEntry, 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pur::LogTextWidth(c.text, c.encoding), c.characters) << c.text;
    const size_t spaces = pur::kLogHeaderTextWidth - c.characters;
    EXPECT_EQ(pur::CentreText(c.text, c.encoding),
              std::string(spaces / 2, ' ') + c.text + std::string(spaces - spaces / 2, ' '))
        << c.text;
  }
}

TEST(ChooseLogTitle, TakesTheFirstEntryContainingTheName) {
  const StringList two = {"PUR400-123|Purgo pour Windows", "PUR400-456|Autre produit"};
  const struct { StringList names; const char* appName; const char* title; } cases[] = {
      {two, "PUR400-123", "Purgo pour Windows"},
      {two, "PUR400-456", "Autre produit"},
      {two, "456", "Autre produit"},
      {two, "PUR400", "Purgo pour Windows"},
      {two, "pur400-123", "Unknow Application"},
      {two, "PUR400-999", "Unknow Application"},
      {two, "", "Unknow Application"},
      {{}, "PUR400-123", "Unknow Application"},
      {{"NoBar"}, "NoBar", "NoBar"},
      {{"A|b|c"}, "A", "b|c"},
      {{"A|"}, "A", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pur::ChooseLogTitle(c.names, c.appName), c.title) << "'" << c.appName << "'";
  }
}

TEST(LogTitleFromAppNames, ReadsTheCommaText) {
  const std::string two = pur::WriteCommaText({"PUR400-123|Purgo pour Windows", "PUR400-456|Autre"});
  EXPECT_EQ(pur::LogTitleFromAppNames(two, "PUR400-456"), "Autre");
  EXPECT_EQ(pur::LogTitleFromAppNames(two, "PUR400-123"), "Purgo pour Windows");
  EXPECT_EQ(pur::LogTitleFromAppNames("", "PUR400-123"), "Unknow Application");
}

TEST(LogDateLine, LeavesTheTimeOutAtMidnight) {
  EXPECT_EQ(pur::LogDateLine("07/02/2024", "14:05:09", false), "Le 07/02/2024 14:05:09");
  EXPECT_EQ(pur::LogDateLine("07/02/2024", "00:00:00", true), "Le 07/02/2024");
}

TEST(BuildLogEntry, FillsTheTemplate) {
  const std::string entry = pur::BuildLogEntry("Purgo", "Le 07/02/2024", "a\r\nb\r\n", pur::kUtf8Entry);
  EXPECT_EQ(entry,
            "(**************************************************************)\n"
            "(*                           Purgo                            *)\n"
            "(*                    Rapport de recherche                    *)\n"
            "(*                       Le 07/02/2024                        *)\n"
            "(**************************************************************)\n"
            "\n"
            "a\r\nb\r\n");
}

TEST(SplitLogLines, EndsLinesAtCrLfOrCrLf) {
  const struct { const char* text; StringList lines; } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\nb", {"a", "b"}},
      {"a\rb\r\nc\n", {"a", "b", "c"}},
      {"\r\n\r\n", {"", ""}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r", {"a"}},
  };
  for (const auto& c : cases) EXPECT_EQ(pur::SplitLogLines(c.text), c.lines) << c.text;
}

TEST(AppendLogEntry, RewritesEarlierLinesWithCrLf) {
  const std::string first = pur::BuildLogEntry("A", "Le 1", "x\r\n", pur::kUtf8Entry);
  const std::string second = pur::BuildLogEntry("B", "Le 2", "y\r\n", pur::kUtf8Entry);
  const std::string once = pur::AppendLogEntry("", first);
  EXPECT_EQ(once, first + "\r\n");
  const std::string twice = pur::AppendLogEntry(once, second);
  const std::string older = twice.substr(0, twice.size() - second.size() - 2);
  EXPECT_EQ(older.find("\n"), older.find("\r\n") + 1);
  for (size_t i = 1; i < older.size(); ++i) {
    if (older[i] == '\n') {
      EXPECT_EQ(older[i - 1], '\r') << i;
    }
  }
  EXPECT_EQ(twice.substr(older.size()), second + "\r\n");
  EXPECT_EQ(pur::SplitLogLines(older).size(), 8u);  // 5 header lines, empty line, x, empty
}

TEST(SaturatedSize, CapsAtTheLargest32BitValue) {
  const struct { int64_t size; int32_t exported; } cases[] = {
      {0, 0}, {1, 1}, {-5, 0}, {2147483647, 2147483647}, {2147483648LL, 2147483647},
      {4294967296LL, 2147483647}, {4294967297LL, 2147483647},
  };
  for (const auto& c : cases) EXPECT_EQ(pur::SaturatedSize(c.size), c.exported) << c.size;
  EXPECT_EQ(pur::TempFolderGain(10, 20), 0);
  EXPECT_EQ(pur::TempFolderGain(20, 10), 10);
}

}  // namespace
