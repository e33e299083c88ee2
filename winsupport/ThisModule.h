// The module (the program or a DLL) whose code calls it: every module links its own copy of
// these helpers, so the answer is always the caller's own module.
#pragma once

#include <windows.h>

namespace pur {

HMODULE ThisModule();

}  // namespace pur
