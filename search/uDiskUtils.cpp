#include "uDiskUtils.h"

#include <windows.h>

#include "CommaText.h"

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
    const bool pair = isLead(static_cast<unsigned char>(path[i])) && i + 1 < path.size();
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

class FindHandle {
 public:
  FindHandle(const std::string& pattern, WIN32_FIND_DATAA& data)
      : handle_(FindFirstFileA(pattern.c_str(), &data)) {}
  ~FindHandle() {
    if (valid()) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAA& data) { return FindNextFileA(handle_, &data) != FALSE; }

 private:
  HANDLE handle_;
};

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

int64_t WholeSize(const WIN32_FIND_DATAA& data) {
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                              data.nFileSizeLow);
}

bool IsFileEntry(const WIN32_FIND_DATAA& data) {
  return (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | kVolumeLabel)) == 0;
}

bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Hidden and system folders are left out as everywhere in the search; reparse points too,
// since a link back up the tree would make the walk endless and they hold no data of this folder.
bool IsEnteredFolder(const WIN32_FIND_DATAA& data) {
  constexpr DWORD kSkipped =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT;
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (data.dwFileAttributes & kSkipped) == 0 && !IsDotEntry(data.cFileName);
}

}  // namespace

std::string CompletePath(const std::string& path) {
  if (path.empty() || EndsWithDelimiter(path)) return path;
  if (path.size() == 1 && IsAsciiLetter(path[0])) return path + ":\\";
  return path + kPathDelimiter;
}

int64_t FolderSize(const std::string& folder) {
  const std::string base = EndsWithDelimiter(folder) ? folder : folder + kPathDelimiter;
  WIN32_FIND_DATAA data;
  FindHandle find(base + kAllEntries, data);
  if (!find.valid()) return 0;
  int64_t total = 0;
  do {
    if (IsFileEntry(data)) {
      total += WholeSize(data);
    } else if (IsEnteredFolder(data)) {
      total += FolderSize(base + data.cFileName + kPathDelimiter);
    }
  } while (find.Next(data));
  return total;
}

int64_t FileSizeOf(const std::string& fileName) {
  FileHandle file(CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return 0;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return 0;
  return size.QuadPart;
}

}  // namespace pur
