// Shell actions that concern the whole user: emptying the Recycle Bin of every drive.
#pragma once

#include <windows.h>

namespace pur {

constexpr DWORD kSherbNoConfirmation = 0x1;  // SHERB_NOCONFIRMATION
constexpr DWORD kSherbNoProgressUi = 0x2;    // SHERB_NOPROGRESSUI
constexpr DWORD kSherbNoSound = 0x4;         // SHERB_NOSOUND

// The flags handed to SHEmptyRecycleBinA: never ask, and hide what the caller does not want.
DWORD RecycleBinFlags(bool ShowProgress, bool PlaySound);

// Empties the Recycle Bins of all drives. The shell's answer is not examined; only a
// missing Shell32.dll is reported, by a message box.
void ShellEmptyRecycleBin(bool ShowProgress, bool PlaySound);

}  // namespace pur
