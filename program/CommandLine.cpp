#include "CommandLine.h"

#include <algorithm>

namespace pur {

namespace {

// ASCII only: the switch is ASCII, and a locale's upper-casing of other bytes can't make it.
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsAutoModeSwitch(const std::string& parameter) {
  std::string upper(parameter.size(), '\0');
  std::transform(parameter.begin(), parameter.end(), upper.begin(), UpperAscii);
  return upper == kAutoModeSwitch;
}

}  // namespace

bool HasAutoModeSwitch(const std::vector<std::string>& parameters) {
  return std::any_of(parameters.begin(), parameters.end(), IsAutoModeSwitch);
}

}  // namespace pur
