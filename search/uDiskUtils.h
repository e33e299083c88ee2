// Paths and sizes on disk. Sizes are whole 64-bit byte counts.
#pragma once

#include <cstdint>
#include <string>

#include "ExactPath.h"

namespace pur {

// Adds the final backslash; a lone drive letter becomes "X:\". The last character is
// found by the ANSI code page's rules, so a trail byte of 0x5C is not taken for a backslash.
std::string CompletePath(const std::string& path);

// Folders deeper than this below the measured or cleaned folder are not walked.
constexpr int kMaxWalkDepth = 256;

struct TFolderSize {
  int64_t Size = 0;
  bool Complete = true;  // false when a branch went past kMaxWalkDepth and was not counted
};

// Total size of the files below Folder, walked with an explicit stack. Hidden, system and
// reparse-point folders are not entered; folders that cannot be listed count 0.
TFolderSize MeasureFolder(const TExactPath& folder);
// The same for a caller's path; 0 when it is not an exact path.
int64_t FolderSize(const std::string& folder);

// Size of one file, opened for reading while others may read and write; 0 when it can't be opened.
int64_t FileSizeOf(const std::string& fileName);

}  // namespace pur
