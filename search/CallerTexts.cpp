#include "CallerTexts.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace pur {
namespace {

constexpr char kNoExactForm[] = "?";

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Both conversions keep every byte of ASCII, so ASCII and a UTF-8 process need none.
bool NeedsNoConversion(std::string_view text) {
  return GetACP() == CP_UTF8 || IsAscii(text) || text.size() > static_cast<size_t>(INT_MAX);
}

std::wstring Widen(UINT codePage, std::string_view text) {
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(UINT codePage, DWORD flags, const char* defaultChar, const std::wstring& wide) {
  const int size = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, defaultChar, nullptr);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), size, text.data(), length, defaultChar, nullptr);
  return text;
}

}  // namespace

std::string CallerText(std::string_view utf8) {
  if (NeedsNoConversion(utf8)) return std::string(utf8);
  return Narrow(CP_ACP, WC_NO_BEST_FIT_CHARS, kNoExactForm, Widen(CP_UTF8, utf8));
}

std::string Utf8FromCallerText(std::string_view text) {
  if (NeedsNoConversion(text)) return std::string(text);
  return Narrow(CP_UTF8, 0, nullptr, Widen(CP_ACP, text));
}

}  // namespace pur
