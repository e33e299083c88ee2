#include "uDiskUtils.h"

#include <windows.h>

#include "CommaText.h"
#include "ExactNames.h"
#include "WinOwners.h"

namespace pur {
namespace {

constexpr char kPathDelimiter = '\\';
constexpr char kAllEntries[] = "*.*";
constexpr DWORD kVolumeLabel = 0x8;  // the FAT volume-label entry; no Win32 name

// Index of the first byte of the path's last character.
size_t LastCharStart(const std::string& path, LeadBytePredicate isLead) {
  size_t last = 0;
  for (size_t i = 0; i < path.size();) {
    last = i;
    const bool pair = isLead && isLead(static_cast<unsigned char>(path[i])) && i + 1 < path.size();
    i += pair ? 2 : 1;
  }
  return last;
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool EndsWithDelimiter(const std::string& path) {
  if (path.empty()) return false;
  const size_t last = LastCharStart(path, AnsiLeadBytes());
  return last == path.size() - 1 && path[last] == kPathDelimiter;
}

bool IsFileEntry(DWORD attributes) {
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | kVolumeLabel)) == 0;
}

// Hidden and system folders are left out as everywhere in the search; reparse points too,
// since a link back up the tree would make the walk endless and they hold no data of this folder.
bool IsEnteredFolder(DWORD attributes) {
  constexpr DWORD kSkipped =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & kSkipped) == 0;
}

}  // namespace

std::string CompletePath(const std::string& path) {
  if (path.empty() || EndsWithDelimiter(path)) return path;
  if (path.size() == 1 && IsAsciiLetter(path[0])) return path + ":\\";
  return path + kPathDelimiter;
}

int64_t FolderSize(const std::string& folder) {
  const std::string base = EndsWithDelimiter(folder) ? folder : folder + kPathDelimiter;
  int64_t total = 0;
  // Exact names only: an approximated folder name could lead the walk into another folder.
  ForEachListedEntry(base + kAllEntries, [&](const TListedEntry& entry) {
    if (IsFileEntry(entry.Attributes)) {
      total += static_cast<int64_t>(entry.Size);
    } else if (IsEnteredFolder(entry.Attributes)) {
      total += FolderSize(base + entry.Name + kPathDelimiter);
    }
  });
  return total;
}

int64_t FileSizeOf(const std::string& fileName) {
  const TFileHandle file(CreateFileExact(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  OPEN_EXISTING));
  if (!file) return 0;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) return 0;
  return size.QuadPart;
}

}  // namespace pur
