#include "CommandLine.h"

#include <algorithm>

namespace pur {

namespace {

// ASCII only: the switch is ASCII, and a locale's upper-casing of other bytes can't make it.
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsSwitch(const std::string& parameter, const std::string& name) {
  std::string upper(parameter.size(), '\0');
  std::transform(parameter.begin(), parameter.end(), upper.begin(), UpperAscii);
  return upper == name;
}

}  // namespace

bool HasSwitch(const std::vector<std::string>& parameters, const std::string& name) {
  return std::any_of(parameters.begin(), parameters.end(),
                     [&name](const std::string& parameter) { return IsSwitch(parameter, name); });
}

bool HasAutoModeSwitch(const std::vector<std::string>& parameters) { return HasSwitch(parameters, kAutoModeSwitch); }

}  // namespace pur
