#include "uDiskUtils.h"

#include <windows.h>

#include "CommaText.h"
#include "ExactNames.h"
#include "WinOwners.h"

#include <vector>

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

TFolderSize MeasureFolder(const TExactPath& folder) {
  TFolderSize measured;
  struct Pending {
    TExactPath path;
    int depth;
  };
  std::vector<Pending> stack{{folder.AsFolder(), 0}};
  while (!stack.empty()) {
    const Pending current = std::move(stack.back());
    stack.pop_back();
    // Exact names only: an approximated folder name could lead the walk into another folder.
    ForEachListedEntry(current.path, [&](const TListedEntry& entry) {
      if (IsFileEntry(entry.Attributes)) {
        measured.Size += static_cast<int64_t>(entry.Size);
      } else if (IsEnteredFolder(entry.Attributes)) {
        if (current.depth >= kMaxWalkDepth) {
          measured.Complete = false;
          return;
        }
        stack.push_back({current.path.Child(entry.Name, entry.WideName).AsFolder(), current.depth + 1});
      }
    });
  }
  return measured;
}

int64_t FolderSize(const std::string& folder) {
  const std::optional<TExactPath> exact = TExactPath::FromAnsi(CompletePath(folder));
  return exact ? MeasureFolder(*exact).Size : 0;
}

int64_t FileSizeOf(const std::string& fileName) {
  const std::optional<TExactPath> exact = TExactPath::FromAnsi(fileName);
  if (!exact) return 0;
  const TFileHandle file(CreateFileW(exact->Wide().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 0;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) return 0;
  return size.QuadPart;
}

}  // namespace pur
