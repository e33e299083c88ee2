#include "CommaText.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace pur {

namespace {

constexpr char kQuote = '"';
constexpr char kComma = ',';

bool IsBlank(unsigned char c) { return c >= 1 && c <= 32; }

// Steps over one character: two bytes for a lead byte followed by a non-zero byte.
size_t NextChar(std::string_view s, size_t i, LeadBytePredicate isLead) {
  if (isLead && isLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() && s[i + 1] != '\0')
    return i + 2;
  return i + 1;
}

bool NeedsQuotes(std::string_view item, LeadBytePredicate isLead) {
  for (size_t i = 0; i < item.size(); i = NextChar(item, i, isLead)) {
    unsigned char c = static_cast<unsigned char>(item[i]);
    if (c <= 32 || c == kQuote || c == kComma) return true;
  }
  return false;
}

std::string Quoted(const std::string& item, LeadBytePredicate isLead) {
  std::string out(1, kQuote);
  for (size_t i = 0; i < item.size();) {
    size_t next = NextChar(item, i, isLead);
    out.append(item, i, next - i);
    if (next - i == 1 && item[i] == kQuote) out += kQuote;
    i = next;
  }
  out += kQuote;
  return out;
}

// Quotes in an item, counting only those that are characters of their own (not trail bytes).
size_t QuotesIn(std::string_view item, LeadBytePredicate isLead) {
  size_t quotes = 0;
  for (size_t i = 0; i < item.size();) {
    const size_t next = NextChar(item, i, isLead);
    if (next - i == 1 && item[i] == kQuote) ++quotes;
    i = next;
  }
  return quotes;
}

// Whether the n-th of `count` items is written quoted (the rule of WriteCommaText).
bool WrittenQuoted(std::string_view item, size_t n, size_t count, LeadBytePredicate isLead) {
  return (item.empty() && n + 1 == count) || NeedsQuotes(item, isLead);
}

char* WriteQuoted(char* out, std::string_view item, LeadBytePredicate isLead) {
  *out++ = kQuote;
  for (size_t i = 0; i < item.size();) {
    const size_t next = NextChar(item, i, isLead);
    std::memcpy(out, item.data() + i, next - i);
    out += next - i;
    if (next - i == 1 && item[i] == kQuote) *out++ = kQuote;
    i = next;
  }
  *out++ = kQuote;
  return out;
}

// A quoted item starting at s[i] == '"': up to the matching quote, doubled quotes
// standing for one; without a closing quote it runs to the end.
std::string ReadQuoted(std::string_view s, size_t& i, LeadBytePredicate isLead) {
  std::string item;
  ++i;
  while (i < s.size()) {
    if (s[i] == kQuote) {
      if (i + 1 < s.size() && s[i + 1] == kQuote) {
        item += kQuote;
        i += 2;
        continue;
      }
      ++i;
      return item;
    }
    size_t next = NextChar(s, i, isLead);
    item.append(s.substr(i, next - i));
    i = next;
  }
  return item;
}

std::string ReadBare(std::string_view s, size_t& i, LeadBytePredicate isLead) {
  size_t start = i;
  while (i < s.size() && static_cast<unsigned char>(s[i]) > 32 && s[i] != kComma)
    i = NextChar(s, i, isLead);
  return std::string(s.substr(start, i - start));
}

void SkipBlanks(std::string_view s, size_t& i) {
  while (i < s.size() && IsBlank(static_cast<unsigned char>(s[i]))) ++i;
}

}  // namespace

LeadBytePredicate AnsiLeadBytes() {
#ifdef _WIN32
  // Single-byte code pages and UTF-8 have no lead bytes: no system call for every byte.
  CPINFO info{};
  if (GetCPInfo(CP_ACP, &info) && info.LeadByte[0] == 0) return nullptr;
  return [](unsigned char c) -> bool { return IsDBCSLeadByte(c) != FALSE; };
#else
  return nullptr;
#endif
}

std::string WriteCommaText(const StringList& items, LeadBytePredicate isLead) {
  std::string out;
  for (size_t n = 0; n < items.size(); ++n) {
    if (n > 0) out += kComma;
    const std::string& item = items[n];
    // A trailing empty item would vanish on reading ("a," reads as one item), and a
    // list of one empty item would read as none: both are quoted so nothing is lost.
    bool lastAndEmpty = item.empty() && n + 1 == items.size();
    if (lastAndEmpty || NeedsQuotes(item, isLead))
      out += Quoted(item, isLead);
    else
      out += item;
  }
  return out;
}

size_t CommaTextSize(size_t count, const CommaTextItem& item, LeadBytePredicate isLead) {
  size_t size = count > 0 ? count - 1 : 0;  // the commas
  for (size_t n = 0; n < count; ++n) {
    const std::string_view text = item(n);
    size += text.size();
    if (WrittenQuoted(text, n, count, isLead)) size += 2 + QuotesIn(text, isLead);
  }
  return size;
}

char* WriteCommaTextTo(char* out, size_t count, const CommaTextItem& item, LeadBytePredicate isLead) {
  for (size_t n = 0; n < count; ++n) {
    if (n > 0) *out++ = kComma;
    const std::string_view text = item(n);
    if (WrittenQuoted(text, n, count, isLead)) {
      out = WriteQuoted(out, text, isLead);
    } else if (!text.empty()) {
      std::memcpy(out, text.data(), text.size());
      out += text.size();
    }
  }
  return out;
}

StringList ReadCommaText(std::string_view text, LeadBytePredicate isLead) {
  text = text.substr(0, text.find('\0'));
  StringList items;
  size_t i = 0;
  SkipBlanks(text, i);
  while (i < text.size()) {
    if (text[i] == kQuote)
      items.push_back(ReadQuoted(text, i, isLead));
    else
      items.push_back(ReadBare(text, i, isLead));
    SkipBlanks(text, i);
    if (i < text.size() && text[i] == kComma) {
      ++i;
      SkipBlanks(text, i);
    }
  }
  return items;
}

}  // namespace pur
