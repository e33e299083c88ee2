// The program's one command-line switch, read without Windows so that it is tested natively.
#pragma once

#include <string>
#include <vector>

namespace pur {

// The automatic-mode switch, compared with each parameter's upper-case form.
constexpr char kAutoModeSwitch[] = "/S";

// True when one of `parameters` (the program's name not among them) is the switch in either
// case; anything else ("-S", "S", "/SX") is ignored.
bool HasAutoModeSwitch(const std::vector<std::string>& parameters);

// True when one of `parameters` is `name` (upper-case ASCII, with its "/") in either case.
bool HasSwitch(const std::vector<std::string>& parameters, const std::string& name);

}  // namespace pur
