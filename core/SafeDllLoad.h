// Loading companion libraries from the program's own folder only: a bare name would also be
// looked for in the current folder and along PATH, where a planted DLL could run its code.
#pragma once

#include <windows.h>

#include <string>

#include "WinOwners.h"

namespace pur {

// Restricts the process's DLL search to the application folder and the system folders, and
// takes the current folder out of it. Called once at start-up; answers whether the platform
// offered the default-directories restriction (older systems get the rest only).
bool RestrictDllSearch();

// The folder of the running executable, with its trailing backslash.
std::string ProgramFolder();

// Loads the library at a full path (a relative one is refused), its own dependencies
// resolved from its folder and the system folders. nullptr on failure.
HMODULE LoadLibraryFromPath(const std::string& fullPath);

}  // namespace pur
