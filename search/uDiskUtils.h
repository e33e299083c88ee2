// Paths and sizes on disk. Sizes are whole 64-bit byte counts.
#pragma once

#include <cstdint>
#include <string>

namespace pur {

// Adds the final backslash; a lone drive letter becomes "X:\". The last character is
// found by the ANSI code page's rules, so a trail byte of 0x5C is not taken for a backslash.
std::string CompletePath(const std::string& path);

// Total size of the files below Folder. Hidden, system and reparse-point folders are not
// entered; folders that cannot be listed count 0.
int64_t FolderSize(const std::string& folder);

// Size of one file, opened for reading while others may read and write; 0 when it can't be opened.
int64_t FileSizeOf(const std::string& fileName);

}  // namespace pur
