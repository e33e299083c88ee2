// What the options box asks of Windows besides its window: the drives to offer and the folder
// picker.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace pur::options {

// Root paths of the drives present ("C:\").
std::vector<std::string> LogicalDrives();

// The shell's folder picker, opened on `start` when that folder exists; nullopt when the
// user cancels or picks something that is not a file-system folder.
std::optional<std::string> PickFolder(HWND owner, const char* title, const std::string& start);

}  // namespace pur::options
