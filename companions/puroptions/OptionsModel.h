// What the options box edits, apart from its window: the settings as one comparable value,
// the personal search's tree with the edits the page offers, the checks that keep a saved
// definition safe. Windows-free, so it is tested natively under the sanitizers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Algo.h"
#include "KeepList.h"
#include "SettingsValues.h"

namespace pur::options {

// What administrators' policies fix: those settings are shown greyed and handed back as they
// came (the store never saves over them anyway).
struct TOptionsPolicies {
  std::vector<std::string> Enforced;  // "section\name", as the store names them
  bool AutomaticCleaningForbidden = false;
  bool Holds(std::string_view section, std::string_view name) const;
  bool operator==(const TOptionsPolicies&) const = default;
};

// Every setting the box shows, as read from (and written back to) the settings store.
struct TOptionsValues {
  TDisplaySettings Display;
  TCleaningSettings Cleaning;
  TJournalSettings Journal;
  TServiceSettings Service;
  std::vector<uint8_t> PersonalSearch;
  TOptionsPolicies Policies;
  bool operator==(const TOptionsValues&) const = default;
};

// One stored setting of the box: where the store keeps it, the controls that show it (greyed
// together when a policy enforces it), and how its value goes from one copy to another.
struct TShownSetting {
  const char* Section;
  const char* Name;
  std::vector<int> Controls;
  void (*Carry)(const TOptionsValues& from, TOptionsValues& to);
};
const std::vector<TShownSetting>& ShownSettings();

// `edited` with every enforced setting put back as `shown` had it.
void KeepEnforced(const TOptionsValues& shown, TOptionsValues& edited);

// The journal's file name is the folder text followed directly by the file name, so the
// folder must end in a backslash; an empty text stays empty (the caller refuses it).
std::string WithTrailingBackslash(std::string folder);

// A whole decimal number (optional sign, surrounding blanks allowed) within [low, high].
std::optional<int32_t> ParseNumber(std::string_view text, int32_t low, int32_t high);

// Files younger than this many days are left alone; ten years is the most the box offers.
constexpr int32_t kMaxMinimumAgeDays = 3650;

// The keep list in its field: one entry per line.
std::string KeepListText(const std::vector<std::string>& entries);

// The keep list read back from its field: each line without its surrounding blanks, empty
// lines dropped, an entry that repeats an earlier one (ASCII case aside) dropped, the order
// kept. Reading stops at the first entry that CheckKeepEntry refuses.
struct TKeepListReading {
  std::vector<std::string> Entries;
  TKeepEntryProblem Problem = TKeepEntryProblem::None;
  std::string Refused;   // that entry, as read
  int RefusedLine = -1;  // its line, from 0
};
TKeepListReading ReadKeepList(std::string_view text);

// The free-space threshold is stored in bytes and shown in mebibytes.
constexpr int32_t kBytesPerMiB = 1048576;
constexpr int32_t kMaxThresholdMiB = INT32_MAX / kBytesPerMiB;

// Why a mask text is refused.
enum class TMaskProblem {
  None,
  Empty,
  TooLong,       // the stream keeps 255 bytes at most
  BadCharacter,  // one of  : * ? " < > |  misplaced, or a control character
  LeavesFolder,  // a leading backslash or a ".." step would list files outside the place
};
TMaskProblem CheckMaskText(std::string_view text);

// A mask whose name part lists every file: "*", "*.*" and the like ("**", "*.**").
bool IsMatchAllMask(std::string_view text);

// A folder given as "X:\a\b" (or "X:\" for the drive itself); nullopt for anything else
// (relative, UNC, device paths).
struct TFolderPath {
  char Drive = 0;  // upper-case letter
  std::vector<std::string> Folders;
};
std::optional<TFolderPath> ParseFolderPath(std::string_view path);

// A recursive match-all mask on a place where it would empty a system or user tree.
struct TDangerousMask {
  std::string Path;  // the place, as its tree path
  std::string Mask;
};

// Outcome of a mask edit.
enum class TMaskEdit { Done, Refused, Duplicate, NoPlace };

// The personal search's definition: loaded from its stored bytes, edited, saved back. Bytes
// that were never edited are handed back exactly as they came.
class TSearchDefinition {
 public:
  explicit TSearchDefinition(std::vector<uint8_t> stored);

  TPosteDeTravail& Root() { return *root_; }
  const TPosteDeTravail& Root() const { return *root_; }

  // The drive node for a letter, added at the end when missing; nullptr for a non-letter.
  TDisque* AddDrive(char letter);
  // The node for a folder, with every missing drive and folder on its way; nullptr when the
  // path is not a drive folder or the tree would get too deep.
  TDossier* AddFolder(std::string_view path);
  // Removes a drive or folder with everything below it; the computer cannot be removed.
  bool Remove(const TArborescense* node);
  // The node with that tree path (ASCII letters folded), or nullptr.
  TArborescense* Find(std::string_view path);

  TMaskEdit AddMask(TDossier& place, const std::string& text, bool recursive, TMaskProblem* why = nullptr);
  TMaskEdit EditMask(TDossier& place, int index, const std::string& text, bool recursive,
                     TMaskProblem* why = nullptr);
  TMaskEdit RemoveMask(TDossier& place, int index);

  // The bytes to store: the stored ones while nothing was edited; an edited tree left with
  // no drives gives an empty definition (the value is then removed).
  std::vector<uint8_t> Bytes() const;
  bool Changed() const { return Bytes() != stored_; }
  std::string Text() const { return root_->ToText(); }

  // Recursive match-all masks on a drive root, or on a protected folder or one of its
  // ancestors (the protected folders: Windows, profile, program files, as paths).
  // Drives, and the places that `holdsProtectedFolder` says hold a protected folder.
  std::vector<TDangerousMask> FindDangerous(
      const std::function<bool(const std::string& place)>& holdsProtectedFolder) const;

 private:
  std::vector<uint8_t> stored_;
  std::unique_ptr<TPosteDeTravail> root_;
  bool edited_ = false;
};

}  // namespace pur::options
