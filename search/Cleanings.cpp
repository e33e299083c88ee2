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
  const std::optional<std::wstring> wide = WideFromAnsi(full);
  wchar_t volume[MAX_PATH + 1] = {};
  if (!wide || !GetVolumePathNameW(wide->c_str(), volume, MAX_PATH)) return false;
  const std::optional<std::string> root = AnsiFromWide(volume);
  return root && SameFolder(full, identity, WithoutFinalDelimiter(*root));
}

bool IsDotName(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

enum class TShellReadiness { Ready, TooDeep, HoldsLinkOrOddName };

// Makes the folder (with its final delimiter) fit for the shell's deletion of its content,
// walking it with an explicit stack: deletes, through the exact wide calls, what lies at
// kShellPathLimit or deeper, and finds what the shell must never meet. The shell follows
// links under Wine and trims names as any path does, so a link or a name Windows would change
// anywhere below refuses the whole cleaning; so does a branch past kMaxWalkDepth.
TShellReadiness PrepareForShell(const TExactPath& folder) {
  struct Pending {
    std::wstring wide;   // "\\?\" form, with the final delimiter
    size_t plainLength;  // its length as the shell sees it
    int depth;
  };
  std::vector<Pending> stack{{folder.Wide(), folder.PlainWide().size(), 0}};
  std::vector<std::wstring> deepFolders;  // in walk order: each after its parent
  bool allGone = true;
  while (!stack.empty()) {
    const Pending current = std::move(stack.back());
    stack.pop_back();
    WIN32_FIND_DATAW data;
    const std::wstring pattern = current.wide + L"*";
    const TFindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!find) continue;
    do {
      if (IsDotName(data.cFileName)) continue;
      const DWORD attributes = data.dwFileAttributes;
      if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IsExactPart(data.cFileName)) {
        return TShellReadiness::HoldsLinkOrOddName;
      }
      const std::wstring path = current.wide + data.cFileName;
      const size_t plainLength = current.plainLength + wcslen(data.cFileName);
      const bool deep = plainLength + 1 >= kShellPathLimit;
      if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (current.depth >= kMaxWalkDepth) return TShellReadiness::TooDeep;
        stack.push_back({path + L"\\", plainLength + 1, current.depth + 1});
        if (deep) deepFolders.push_back(path);
      } else if (deep && !DeleteFileW(path.c_str())) {
        allGone = false;
      }
    } while (FindNextFileW(find.Get(), &data));
  }
  // Children were walked after their parents: the reverse order removes them first.
  for (auto it = deepFolders.rbegin(); it != deepFolders.rend(); ++it) {
    if (!RemoveDirectoryW(it->c_str())) allGone = false;
  }
  return allGone ? TShellReadiness::Ready : TShellReadiness::TooDeep;
}

// Deletes one file of the temporary folder as the shell would: a read-only one too.
void DeleteTempFile(const std::wstring& path, DWORD attributes) {
  if (DeleteFileW(path.c_str())) return;
  if ((attributes & FILE_ATTRIBUTE_READONLY) && SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    if (!DeleteFileW(path.c_str())) SetFileAttributesW(path.c_str(), attributes);
  }
}

// Empties the folder under the user's limits, walking it with an explicit stack: links are
// never entered nor deleted, names Windows would change and branches past kMaxWalkDepth are
// left as they are, a kept folder is only counted. Each folder is checked to be a real folder
// when it is entered. Folders are removed last, deepest first, when they are empty by then and
// were old enough before anything in them was touched.
void EmptyByRules(const TExactPath& root, const TCleaningRules& rules, TRuleCounts& left) {
  struct Pending {
    TExactPath folder;  // with its final delimiter
    int depth;
    bool kept;
  };
  const uint64_t now = FileTimeNow();
  std::vector<Pending> stack{{root, 0, rules.Keep().KeepsWholeFolder(root.Ansi())}};
  std::vector<std::wstring> removable;  // in walk order: each after its parent
  while (!stack.empty()) {
    const Pending current = std::move(stack.back());
    stack.pop_back();
    if (current.depth > 0 && !IsRealFolderNow(current.folder.Wide())) continue;
    ForEachListedEntry(current.folder, [&](const TListedEntry& entry) {
      if (entry.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) return;
      const TExactPath path = current.folder.Child(entry.Name, entry.WideName);
      if (entry.Attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (current.depth >= kMaxWalkDepth) return;
        const TExactPath folder = path.AsFolder();
        const bool kept = current.kept || rules.Keep().KeepsWholeFolder(folder.Ansi());
        if (!kept && rules.OldEnough(entry.LastWrite, now)) removable.push_back(path.Wide());
        stack.push_back({folder, current.depth + 1, kept});
        return;
      }
      const TRuleVerdict verdict =
          current.kept ? TRuleVerdict::Kept : rules.Judge(path.Ansi(), entry.LastWrite, now);
      left.Count(verdict);
      if (verdict == TRuleVerdict::Delete) DeleteTempFile(path.Wide(), entry.Attributes);
    });
  }
  // A folder that still holds something is refused by the system and stays.
  for (auto it = removable.rbegin(); it != removable.rend(); ++it) RemoveDirectoryW(it->c_str());
}

}  // namespace

uint64_t FileTimeNow() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return FileTimeTicks(now);
}

std::string TempFolderFromReported(const std::string& reported) {
  return AsciiUpper(CompletePath(reported));
}

std::string TempFolderRefusal(const std::string& folder) {
  if (folder.empty()) return Refused(kNoTempFolder);
  if (!IsAbsolute(folder)) return Refused(folder, kNotAbsolute);
  const std::optional<TExactPath> exact = TExactPath::FromAnsi(folder);
  if (!exact) return Refused(folder, kNotExact);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const DWORD attributes = GetAttributesOf(*exact, data) ? data.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
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

TTempCleaning CleanTempFolder(const std::string& reportedFolder, const TCleaningRules& rules) {
  TTempCleaning cleaning;
  cleaning.Folder = TempFolderFromReported(reportedFolder);
  cleaning.Refusal = TempFolderRefusal(cleaning.Folder);
  if (cleaning.Refused()) return cleaning;
  const TExactPath folder = *TExactPath::FromAnsi(cleaning.Folder);  // checked by the refusal
  const TFolderSize before = MeasureFolder(folder);
  cleaning.Before = before.Size;
  if (rules.Active()) {
    EmptyByRules(folder, rules, cleaning.Left);
    cleaning.After = MeasureFolder(folder).Size;
    return cleaning;
  }
  const TShellReadiness readiness = before.Complete ? PrepareForShell(folder) : TShellReadiness::TooDeep;
  if (readiness != TShellReadiness::Ready) {
    cleaning.Refusal = Refused(cleaning.Folder, readiness == TShellReadiness::TooDeep ? kTooDeep : kHoldsLink);
    cleaning.After = MeasureFolder(folder).Size;
    return cleaning;
  }
  TShellFileOp op;
  op.Operation = TFileOperation::Delete;
  op.Source = cleaning.Folder + kAllEntries;
  op.Options = kTempFolderDeleteOptions;
  // One name: a ';' in the folder's path must not turn into a second, unchecked name.
  ShellFileOperationOnOneName(op);
  cleaning.After = MeasureFolder(folder).Size;
  return cleaning;
}

TTempCleaning CleanUserTempFolder(const TCleaningRules& rules) { return CleanTempFolder(GetTempFolder(), rules); }

void EmptyAllRecycleBins() { ShellEmptyRecycleBin(false, false); }

namespace {

bool StillExists(const TExactPath& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetAttributesOf(path, data)) return true;
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

}  // namespace

int32_t DeleteFoundFile(const std::string& path, bool toRecycleBin, bool allowReadOnlyHidden,
                        const TCleaningRules& rules) {
  const std::optional<TExactPath> exact = TExactPath::FromAnsi(path);
  if (!exact || exact->IsFolder()) return 0;
  // No folder between the root and the file may be a link at this moment.
  if (!NoFolderOnTheWayIsALink(*exact)) return 0;
  // Attributes and size in one query: opening the file only to learn its size costs more
  // than deleting it.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetAttributesOf(*exact, data)) return 0;
  const DWORD attributes = data.dwFileAttributes;
  if (attributes & FILE_ATTRIBUTE_SYSTEM) return 0;
  // A folder is not a found file (the Recycle Bin branch would take it whole), nor a link.
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return 0;
  if ((attributes & kReadOnlyHidden) && !allowReadOnlyHidden) return 0;
  if (rules.Active() && rules.Judge(path, FileTimeTicks(data.ftLastWriteTime), FileTimeNow()) != TRuleVerdict::Delete) {
    return 0;
  }
  const int64_t size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (attributes & kReadOnlyHidden) {
    const DWORD kept = attributes & ~kReadOnlyHidden;
    SetAttributesOf(*exact, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
  }
  const bool reported = toRecycleBin ? ShellDeleteExact(*exact, kRecycleDeleteOptions) == 0 : DeleteFileExact(*exact);
  // Asking for a name that is gone reads its whole folder under Wine: only when the
  // deletion reports a failure is the file looked for.
  if (!reported && StillExists(*exact)) return 0;
  return SaturatedSize(size);
}

}  // namespace pur
