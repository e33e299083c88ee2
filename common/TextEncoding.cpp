#include "TextEncoding.h"

#include <cstdint>

namespace pur {

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the sequence a lead byte starts, 0 for a byte that cannot start one.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// The second byte's narrower range after the lead bytes that would otherwise allow overlong
// forms, surrogates or code points above U+10FFFF.
bool SecondByteFits(unsigned char lead, unsigned char second) {
  switch (lead) {
    case 0xE0: return second >= 0xA0 && second <= 0xBF;
    case 0xED: return second >= 0x80 && second <= 0x9F;
    case 0xF0: return second >= 0x90 && second <= 0xBF;
    case 0xF4: return second >= 0x80 && second <= 0x8F;
    default: return IsContinuation(second);
  }
}

// Code points of 0x80..0x9F in code page 1252; undefined bytes map to the C1 control of the
// same value, as MultiByteToWideChar does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t size = SequenceLength(lead);
    if (size == 0 || text.size() - i < size) return false;
    if (size > 1 && !SecondByteFits(lead, static_cast<unsigned char>(text[i + 1]))) return false;
    for (size_t k = 2; k < size; ++k) {
      if (!IsContinuation(static_cast<unsigned char>(text[i + k]))) return false;
    }
    i += size;
  }
  return true;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    AppendUtf8(out, (c >= 0x80 && c <= 0x9F) ? char32_t(kCp1252High[c - 0x80]) : char32_t(c));
  }
  return out;
}

std::string StoredTextToUtf8(std::string_view text) {
  if (IsValidUtf8(text)) return std::string(text);
  return Cp1252ToUtf8(text);
}

TCodePoint Utf8CodePointAt(std::string_view text, size_t position) {
  const auto lead = static_cast<unsigned char>(text[position]);
  const size_t size = SequenceLength(lead);
  if (size <= 1 || text.size() - position < size) return {lead, 1};
  char32_t value = lead & (0xFF >> (size + 1));
  for (size_t k = 1; k < size; ++k) value = (value << 6) | (static_cast<unsigned char>(text[position + k]) & 0x3F);
  return {value, size};
}

char32_t FoldCodePoint(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;  // Latin-1 à..þ
  if (c == 0xFF) return 0x178;                      // ÿ
  // Latin Extended-A pairs: upper case on even code points, then on odd ones from U+0139
  // to U+0148 and from U+0179 on.
  if (c >= 0x100 && c <= 0x137) return c & ~char32_t(1);
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
  if (c >= 0x14A && c <= 0x177) return c & ~char32_t(1);
  // Greek: α..ω (final sigma as sigma) and the accented vowels.
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x3B1 && c <= 0x3CB) return c - 0x20;
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
  // Cyrillic: а..я and ѐ..џ.
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

}  // namespace pur
