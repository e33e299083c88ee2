#include "Cleanings.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "CallerTexts.h"
#include "CommaText.h"
#include "ExactNames.h"
#include "ProtectedFolders.h"
#include "SearchTexts.h"
#include "WinOwners.h"
#include "uDiskUtils.h"
#include "uSHFileOP.h"
#include "uShellAct.h"
#include "uWindows.h"

namespace pur {
namespace {

using namespace texts;

constexpr char kAllEntries[] = "*.*";

// The shell builds each path of a deletion in a MAX_PATH buffer. Wine's, on overflow, goes
// on with an empty path, that is with the current directory, and deletes its content: the
// shell must never see a longer path. The margin leaves room for the names it appends.
constexpr size_t kShellPathLimit = MAX_PATH - 16;

constexpr DWORD kReadOnlyHidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;

// Our words go to the caller's code page; the folder is already in it.
std::string Refused(const char* reason) { return CallerText(kRefusedPrefix) + CallerText(reason); }
std::string Refused(const std::string& folder, const char* reason) {
  return CallerText(kRefusedPrefix) + "\"" + folder + "\"" + CallerText(reason);
}

// Upper-cases ASCII letters only, and never the second byte of a double-byte character.
std::string AsciiUpper(const std::string& text) {
  const LeadBytePredicate isLead = AnsiLeadBytes();
  std::string upper = text;
  for (size_t i = 0; i < upper.size(); ++i) {
    const char c = upper[i];
    if (isLead && isLead(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      upper[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

bool IsAbsolute(const std::string& path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && path[2] == '\\' &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  const bool unc = path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
  return drive || unc;
}

bool IsVolumeRoot(const std::string& full, const std::optional<FileIdentity>& identity) {
  if (IsRootForm(full)) return true;
  char volume[MAX_PATH + 1] = {};
  if (!GetVolumePathNameA(full.c_str(), volume, MAX_PATH)) return false;
  return SameFolder(full, identity, WithoutFinalDelimiter(volume));
}

bool IsDotName(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Deletes, through the wide calls, what lies at kShellPathLimit or deeper below the folder
// (wide, with its final delimiter). Links are neither entered nor removed. Answers false when
// something that deep is left.
bool RemoveTooDeepEntries(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  const std::wstring pattern = folder + L"*";
  const TFindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                          FindExSearchNameMatch, nullptr, 0));
  if (!find) return true;
  bool allGone = true;
  do {
    if (IsDotName(data.cFileName)) continue;
    const std::wstring path = folder + data.cFileName;
    const bool deep = path.size() + 1 >= kShellPathLimit;
    const DWORD attributes = data.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      if (deep) allGone = false;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!RemoveTooDeepEntries(path + L"\\")) allGone = false;
      if (deep && !RemoveDirectoryW(path.c_str())) allGone = false;
    } else if (deep && !DeleteFileW(path.c_str())) {
      allGone = false;
    }
  } while (FindNextFileW(find.Get(), &data));
  return allGone;
}

}  // namespace

std::string TempFolderFromReported(const std::string& reported) {
  return AsciiUpper(CompletePath(reported));
}

std::string TempFolderRefusal(const std::string& folder) {
  if (folder.empty()) return Refused(kNoTempFolder);
  if (!IsAbsolute(folder)) return Refused(folder, kNotAbsolute);
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Refused(folder, kNotADirectory);
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Refused(folder, kReparsePoint);
  const std::optional<std::string> full = FullPath(folder);
  if (!full) return Refused(folder, kNotADirectory);
  const std::optional<FileIdentity> identity = IdentityOf(*full);
  if (IsVolumeRoot(*full, identity)) return Refused(folder, kDriveRoot);
  if (HoldsProtectedFolder(*full)) return Refused(folder, kProtected);
  return {};
}

TTempCleaning CleanTempFolder(const std::string& reportedFolder) {
  TTempCleaning cleaning;
  cleaning.Folder = TempFolderFromReported(reportedFolder);
  cleaning.Refusal = TempFolderRefusal(cleaning.Folder);
  if (cleaning.Refused()) return cleaning;
  cleaning.Before = FolderSize(cleaning.Folder);
  const std::optional<std::wstring> wideFolder = WideFromAnsi(cleaning.Folder);
  if (!wideFolder || !RemoveTooDeepEntries(*wideFolder)) {
    cleaning.Refusal = Refused(cleaning.Folder, kTooDeep);
    cleaning.After = FolderSize(cleaning.Folder);
    return cleaning;
  }
  TShellFileOp op;
  op.Operation = TFileOperation::Delete;
  op.Source = cleaning.Folder + kAllEntries;
  op.Options = kTempFolderDeleteOptions;
  // One name: a ';' in the folder's path must not turn into a second, unchecked name.
  ShellFileOperationOnOneName(op);
  cleaning.After = FolderSize(cleaning.Folder);
  return cleaning;
}

TTempCleaning CleanUserTempFolder() { return CleanTempFolder(GetTempFolder()); }

void EmptyAllRecycleBins() { ShellEmptyRecycleBin(false, false); }

namespace {

bool StillExists(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetAttributesOf(path, data)) return true;
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool DeleteIntoRecycleBin(const std::string& path) {
  TShellFileOp op;
  op.Operation = TFileOperation::Delete;
  op.Source = path;
  op.Options = kRecycleDeleteOptions;
  return ShellFileOperationOnOneName(op) == 0;
}

}  // namespace

int32_t DeleteFoundFile(const std::string& path, bool toRecycleBin, bool allowReadOnlyHidden) {
  // Attributes and size in one query: opening the file only to learn its size costs more
  // than deleting it.
  // The wide calls: they also reach files below folders deeper than MAX_PATH.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetAttributesOf(path, data)) return 0;
  const DWORD attributes = data.dwFileAttributes;
  if (attributes & FILE_ATTRIBUTE_SYSTEM) return 0;
  // A folder is not a found file; the Recycle Bin branch would take it whole.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  if ((attributes & kReadOnlyHidden) && !allowReadOnlyHidden) return 0;
  const int64_t size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (attributes & kReadOnlyHidden) {
    const DWORD kept = attributes & ~kReadOnlyHidden;
    SetAttributesOf(path, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
  }
  const bool reported = toRecycleBin ? DeleteIntoRecycleBin(path) : DeleteFileExact(path);
  // Asking for a name that is gone reads its whole folder under Wine: only when the
  // deletion reports a failure is the file looked for.
  if (!reported && StillExists(path)) return 0;
  return SaturatedSize(size);
}

}  // namespace pur
