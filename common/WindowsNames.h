// Names that Windows would change or read as something else when they are part of a path
// without the "\\?\" form: a final dot or blank is trimmed (so "Docs." names "Docs"), and a
// reserved device name ("NUL", "com1.txt") names a device, not a file. Such a name never
// joins a path the product hands to the system.
#pragma once

#include <string_view>

namespace pur {

// `name` is one part of a path in any ANSI code page (the rule looks at ASCII bytes only,
// which no code page uses as a trail byte here).
bool IsNameWindowsWouldChange(std::string_view name);

// The reserved device names, with or without an extension: CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9, in any case; what counts is the part before the first dot, blanks trimmed.
bool IsReservedDeviceName(std::string_view name);

}  // namespace pur
