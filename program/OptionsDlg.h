// The options box lives in the companion library puroptions.dll; this binds its one entry.
#pragma once

#include <windows.h>

#include <cstdint>

namespace pur {

// The options library's file name, looked for in the program's own folder only.
constexpr char kOptionsLibraryName[] = "puroptions.dll";
constexpr char kOptionsEntryName[] = "OpenOptionsBox";

// The entry: modal over `owner`; the low byte of the answer is the "settings changed" flag.
using OpenOptionsBoxFn = uint32_t(__stdcall*)(HWND owner);

// Shows the options box over `parent`. True when the box reports changed settings (the caller
// reloads them); false when closed without change or when the library or its entry is missing.
// The library is looked for once: after a failed attempt it is never tried again.
bool OpenOptions(HWND parent);

// Unloads the options library when it was bound. Called at the program's end.
void FreeOptionsLibrary();

}  // namespace pur
