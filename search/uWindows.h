// Folders the system names: the user's temporary folder and the folders no cleaning may empty.
#pragma once

#include <string>
#include <vector>

namespace pur {

// GetTempPathA's answer (normally ending in a backslash); empty on failure or overflow.
std::string GetTempFolder();

// The Windows, system, profile and program-files folders, as far as the system names them.
std::vector<std::string> ProtectedFolders();

}  // namespace pur
