#include "ExactNames.h"

namespace pur {
namespace {

bool HoldsPathOrWildcardCharacter(std::string_view name) {
  return name.find_first_of("\\/:*?") != std::string_view::npos;
}

uint64_t SizeOf(const WIN32_FIND_DATAW& data) {
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Listing access: only an open that asks for data takes part in the sharing rules, and the
// missing FILE_SHARE_DELETE is what keeps the folder from being renamed while held.
constexpr DWORD kEnterAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kEnterShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsLinkOrNotFolder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

std::optional<std::string> ListedNameOf(std::wstring_view name) {
  if (!IsExactPart(name)) return std::nullopt;
  std::optional<std::string> ansi = AnsiFromWide(name);
  // Checked again after the conversion: the name that is joined to the folder is this one.
  if (!ansi || HoldsPathOrWildcardCharacter(*ansi)) return std::nullopt;
  return ansi;
}

bool ForEachListedEntry(const TExactPath& folder, const std::function<void(const TListedEntry& entry)>& onEntry) {
  const std::wstring pattern = folder.AsFolder().Wide() + L"*";
  WIN32_FIND_DATAW data;
  TFindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                    FIND_FIRST_EX_LARGE_FETCH));
  if (!find) return false;
  do {
    std::optional<std::string> name = ListedNameOf(data.cFileName);
    if (!name) continue;
    onEntry(TListedEntry{std::move(*name), data.cFileName, data.dwFileAttributes, SizeOf(data)});
  } while (FindNextFileW(find.Get(), &data));
  return true;
}

std::optional<TFileHandle> EnterFolder(const std::wstring& path) {
  // Without its final backslash: "link\" names what the link points to, "link" the link.
  std::wstring wideFolder = path;
  while (!wideFolder.empty() && wideFolder.back() == L'\\') wideFolder.pop_back();
  TFileHandle folder(CreateFileW(wideFolder.c_str(), kEnterAccess, kEnterShare, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!folder) return std::nullopt;
  // Held first, then looked at: what the path names now cannot change any more.
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(folder.Get(), &info) || IsLinkOrNotFolder(info.dwFileAttributes)) {
    return std::nullopt;
  }
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(wideFolder.c_str(), GetFileExInfoStandard, &data) ||
      IsLinkOrNotFolder(data.dwFileAttributes)) {
    return std::nullopt;
  }
  return folder;
}

bool EnterFoldersOf(const TExactPath& path, std::vector<TFileHandle>& held) {
  for (const std::wstring& folder : path.FoldersBelowRoot()) {
    std::optional<TFileHandle> entered = EnterFolder(folder);
    if (!entered) return false;
    held.push_back(std::move(*entered));
  }
  return true;
}

bool GetAttributesOf(const TExactPath& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return GetFileAttributesExW(path.Wide().c_str(), GetFileExInfoStandard, &data) != FALSE;
}

bool SetAttributesOf(const TExactPath& path, DWORD attributes) {
  return SetFileAttributesW(path.Wide().c_str(), attributes) != FALSE;
}

bool DeleteFileExact(const TExactPath& path) {
  const TFileHandle file(CreateFileW(path.Wide().c_str(), DELETE | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) return false;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  return SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool GetAttributesOf(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  const std::optional<std::wstring> wide = WideFromAnsi(path);
  if (!wide) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  return GetFileAttributesExW(wide->c_str(), GetFileExInfoStandard, &data) != FALSE;
}

bool DeleteFileExact(const std::string& path) {
  const std::optional<std::wstring> wide = WideFromAnsi(path);
  return wide && DeleteFileW(wide->c_str()) != FALSE;
}

HANDLE CreateFileExact(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  const std::optional<std::wstring> wide = WideFromAnsi(path);
  if (!wide) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return INVALID_HANDLE_VALUE;
  }
  return CreateFileW(wide->c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace pur
