#include "KeepList.h"

#include <algorithm>

#include "Algo.h"

namespace pur {
namespace {

// Longer than any path the system can name.
constexpr size_t kMaxEntryLength = 32767;

std::string WithBackslashes(std::string_view text) {
  std::string out(text);
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

bool StartsAbsolute(std::string_view text) {
  const bool drive = text.size() >= 2 && text[1] == ':' &&
                     ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
  const bool unc = text.size() >= 2 && text[0] == '\\' && text[1] == '\\';
  return drive || unc;
}

// The parts between backslashes; a UNC path's two leading empty parts stay as they are.
std::vector<std::string_view> SplitParts(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t end = text.find('\\', start);
    if (end == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

bool HasWildcard(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

bool IsPlainAsciiText(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One part of an entry against one part of a path. The plain ASCII case, by far the most
// frequent, is compared directly; everything else goes to the search's matcher.
bool PartMatches(std::string_view pathPart, std::string_view entryPart) {
  if (entryPart.empty() || pathPart.empty()) return entryPart.empty() && pathPart.empty();
  if (!HasWildcard(entryPart) && IsPlainAsciiText(entryPart) && IsPlainAsciiText(pathPart) &&
      entryPart.back() != '.' && entryPart.back() != ' ') {
    return SameTextAscii(pathPart, entryPart);
  }
  return MatchesWildcard(pathPart, entryPart);
}

}  // namespace

TKeepEntryProblem CheckKeepEntry(std::string_view entry) {
  if (entry.empty()) return TKeepEntryProblem::Empty;
  if (entry.size() > kMaxEntryLength) return TKeepEntryProblem::TooLong;
  const std::string text = WithBackslashes(entry);
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '<' || c == '>' || c == '|') {
      return TKeepEntryProblem::BadCharacter;
    }
  }
  const bool drive = StartsAbsolute(text) && text[1] == ':';
  const size_t colon = text.find(':', drive ? 2 : 0);
  if (colon != std::string::npos) return TKeepEntryProblem::BadCharacter;
  if (drive && text.size() > 2 && text[2] != '\\') return TKeepEntryProblem::BadCharacter;
  std::vector<std::string_view> parts = SplitParts(text);
  size_t first = 0;
  if (!drive && text.size() >= 2 && text[0] == '\\' && text[1] == '\\') {
    first = 2;  // "\\server\share\..."
    if (parts.size() < 4 || parts[2].empty() || parts[3].empty()) return TKeepEntryProblem::EmptyPart;
    if (HasWildcard(parts[2])) return TKeepEntryProblem::BadCharacter;
  } else if (drive && parts.size() == 1) {
    return TKeepEntryProblem::EmptyPart;  // "C:" alone names no folder
  }
  for (size_t i = first; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    if (parts[i].empty() && !(last && i > 0)) return TKeepEntryProblem::EmptyPart;
    if (parts[i] == "." || parts[i] == "..") return TKeepEntryProblem::LeavesFolder;
    // The last part may be a mask, where a final dot has a meaning ("*." takes the names
    // without a dot); a folder's final dot or blank would be dropped by the system.
    const bool folderPart = !last && !(i == 0 && drive);
    if (folderPart && !parts[i].empty() && (parts[i].back() == '.' || parts[i].back() == ' ')) {
      return TKeepEntryProblem::TrimmedName;
    }
  }
  return TKeepEntryProblem::None;
}

TKeepList::TKeepList(const std::vector<std::string>& entries) {
  for (const std::string& raw : entries) {
    if (raw.empty()) continue;
    const std::string text = WithBackslashes(raw);
    TEntry entry;
    entry.Absolute = StartsAbsolute(text);
    std::vector<std::string_view> parts = SplitParts(text);
    entry.Mask = std::string(parts.back());
    parts.pop_back();
    for (const std::string_view part : parts) entry.Folders.emplace_back(part);
    entries_.push_back(std::move(entry));
  }
}

bool TKeepList::FoldersMatch(const TEntry& entry, const std::vector<std::string_view>& folders) {
  const size_t k = entry.Folders.size();
  if (k > folders.size()) return false;
  const size_t lastStart = entry.Absolute ? 0 : folders.size() - k;
  for (size_t start = 0; start <= lastStart; ++start) {
    bool all = true;
    for (size_t j = 0; j < k && all; ++j) all = PartMatches(folders[start + j], entry.Folders[j]);
    if (all) return true;
  }
  return false;
}

bool TKeepList::KeepsFile(std::string_view path) const {
  if (entries_.empty()) return false;
  const std::string text = WithBackslashes(path);
  std::vector<std::string_view> folders = SplitParts(text);
  const std::string_view name = folders.back();
  folders.pop_back();
  for (const TEntry& entry : entries_) {
    if (!entry.Mask.empty() && !PartMatches(name, entry.Mask)) continue;
    if (FoldersMatch(entry, folders)) return true;
  }
  return false;
}

bool TKeepList::KeepsWholeFolder(std::string_view folder) const {
  if (entries_.empty()) return false;
  std::string text = WithBackslashes(folder);
  while (!text.empty() && text.back() == '\\') text.pop_back();
  const std::vector<std::string_view> folders = SplitParts(text);
  for (const TEntry& entry : entries_) {
    if (entry.Mask.empty() && FoldersMatch(entry, folders)) return true;
  }
  return false;
}

}  // namespace pur
