// The user's temporary folder, as the system names it.
#pragma once

#include <string>
#include <vector>

namespace pur {

// GetTempPathA's answer (normally ending in a backslash); empty on failure or overflow.
std::string GetTempFolder();

}  // namespace pur
