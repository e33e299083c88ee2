// The user's keep list ("Toujours garder"): files that no step ever deletes. Windows-free, so
// the options box, the review list and the library share one reading of it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pur {

// Why an entry is refused where the user types it.
enum class TKeepEntryProblem {
  None,
  Empty,
  TooLong,
  BadCharacter,  // a control character, one of " < > |, a misplaced ':' or a wildcard in a drive
  EmptyPart,     // "C:\\a\\\\b": a folder without a name
  LeavesFolder,  // a "." or ".." step
  TrimmedName,   // a folder whose name ends with a dot or a blank: Windows would name another
};
TKeepEntryProblem CheckKeepEntry(std::string_view entry);

// Entries, each one of:
//   a folder, ending with '\'                  every file below it;
//   a mask without a folder ("*.docx")          every file whose name matches, everywhere;
//   a folder followed by a mask ("C:\a\*.tmp")  matching files in that folder and below.
// A folder that does not start with a drive ("X:") or "\\" holds wherever it appears:
// "Cache\*.dat" keeps the .dat files below every folder named Cache. Every part of a folder
// and the mask compare by the search's mask rules (MatchesWildcard): letters without regard
// to case, and wildcards allowed. '/' reads as '\'. Empty entries are ignored.
class TKeepList {
 public:
  TKeepList() = default;
  explicit TKeepList(const std::vector<std::string>& entries);

  bool Empty() const { return entries_.empty(); }
  // A file, by its full path.
  bool KeepsFile(std::string_view path) const;
  // A whole folder (its full path, with or without the final '\'): a folder entry holds it or
  // one of the folders above it, so everything below is kept.
  bool KeepsWholeFolder(std::string_view folder) const;

 private:
  struct TEntry {
    bool Absolute = false;
    std::vector<std::string> Folders;  // the entry's folder parts, in order
    std::string Mask;                  // empty for a folder entry
  };
  static bool FoldersMatch(const TEntry& entry, const std::vector<std::string_view>& folders);

  std::vector<TEntry> entries_;
};

}  // namespace pur
