// UTF-8, the process's ANSI code page, and code page 1252, in which texts stored by earlier
// versions were written. Windows-free.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pur {

// True when the bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing
// above U+10FFFF. Plain ASCII is valid UTF-8.
bool IsValidUtf8(std::string_view text);

// Each byte of code page 1252 as UTF-8. The five bytes that 1252 leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) become U+0081 and so on, as Windows converts them.
std::string Cp1252ToUtf8(std::string_view text);

// A text stored before the UTF-8 code page: kept when it is valid UTF-8, otherwise it was
// written in code page 1252 and is converted.
std::string StoredTextToUtf8(std::string_view text);

// The code point that starts at `position` of a valid UTF-8 text, and its length in bytes.
struct TCodePoint {
  char32_t Value;
  size_t Size;
};
TCodePoint Utf8CodePointAt(std::string_view text, size_t position);

// Upper case of one code point for comparisons without regard to case: ASCII, Latin-1,
// Latin Extended-A, basic Greek and Cyrillic; any other code point is its own upper case.
char32_t FoldCodePoint(char32_t c);

}  // namespace pur
