#include "WindowsNames.h"

#include <array>

namespace pur {
namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameUpper(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (UpperAscii(text[i]) != upper[i]) return false;
  }
  return true;
}

}  // namespace

bool IsReservedDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  for (std::string_view device : kPlain) {
    if (SameUpper(base, device)) return true;
  }
  if (base.size() != 4 || base[3] < '1' || base[3] > '9') return false;
  const std::string_view stem = base.substr(0, 3);
  return SameUpper(stem, "COM") || SameUpper(stem, "LPT");
}

bool IsNameWindowsWouldChange(std::string_view name) {
  if (name.empty()) return false;
  const char last = name.back();
  return last == '.' || last == ' ' || IsReservedDeviceName(name);
}

}  // namespace pur
