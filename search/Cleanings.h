// The work behind the cleaning exports, as plain functions: the caller owns the shared
// state, the status bits, the progress and the end callback.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "CleaningRules.h"

namespace pur {

constexpr int32_t kLargestExportedSize = std::numeric_limits<int32_t>::max();

// Sizes are counted whole; the 32-bit exports answer them saturated, so that 4 GiB is
// not taken for "nothing".
constexpr int32_t SaturatedSize(int64_t size) {
  if (size <= 0) return 0;
  return size > kLargestExportedSize ? kLargestExportedSize : static_cast<int32_t>(size);
}

// A folder that grew during the cleaning gained nothing.
constexpr int64_t TempFolderGain(int64_t before, int64_t after) {
  return before > after ? before - after : 0;
}

struct TTempCleaning {
  std::string Folder;   // completed and upper-cased, as measured and deleted
  std::string Refusal;  // why nothing was deleted (caller's code page); empty when the cleaning ran
  int64_t Before = 0;
  int64_t After = 0;
  TRuleCounts Left;     // what the user's limits left in place

  bool Refused() const { return !Refusal.empty(); }
  int64_t Gain() const { return TempFolderGain(Before, After); }
  int32_t ExportedGain() const { return SaturatedSize(Gain()); }
};

// The folder as the cleaning uses it: final backslash added, ASCII letters upper-cased.
std::string TempFolderFromReported(const std::string& reported);

// Empty when Folder may be emptied; otherwise the reason, ready for the failure channel.
// Only an absolute path to an existing directory passes, and not a drive root, a reparse
// point, or a Windows, system, profile or program-files folder (or a folder holding one).
std::string TempFolderRefusal(const std::string& folder);

// Measures, deletes "<folder>*.*" permanently through the shell, measures again.
// A refused folder is left alone: Before and After stay 0.
// With active limits the folder is walked instead, and only what they allow goes: files old
// enough and not kept, then the folders left empty that were old enough themselves.
TTempCleaning CleanTempFolder(const std::string& reportedFolder, const TCleaningRules& rules = {});

// The same on the folder the system reports for the user.
TTempCleaning CleanUserTempFolder(const TCleaningRules& rules = {});

// Every drive's Recycle Bin: no confirmation, no progress window, no sound.
void EmptyAllRecycleBins();

// Deletes one found file; answers its size (saturated) or 0 when it was not deleted.
// System files and folders are never touched; read-only or hidden files only when allowed.
// Active limits are checked again here, on the file as it is now.
int32_t DeleteFoundFile(const std::string& path, bool toRecycleBin, bool allowReadOnlyHidden,
                        const TCleaningRules& rules = {});

// The system's clock as a file time.
uint64_t FileTimeNow();

}  // namespace pur
