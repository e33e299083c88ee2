#include "ExactNames.h"

namespace pur {
namespace {

bool HoldsPathOrWildcardCharacter(std::string_view name) {
  return name.find_first_of("\\/:*?") != std::string_view::npos;
}

uint64_t SizeOf(const WIN32_FIND_DATAW& data) {
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

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

bool ForEachListedEntry(const TExactPath& folder, const std::function<void(const TListedEntry& entry)>& onEntry,
                        const std::atomic<bool>* stop) {
  const std::wstring pattern = folder.AsFolder().Wide() + L"*";
  WIN32_FIND_DATAW data;
  TFindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                    FIND_FIRST_EX_LARGE_FETCH));
  if (!find) return false;
  do {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
    std::optional<std::string> name = ListedNameOf(data.cFileName);
    if (!name) continue;
    onEntry(TListedEntry{std::move(*name), data.cFileName, data.dwFileAttributes, SizeOf(data),
                         FileTimeTicks(data.ftLastWriteTime)});
  } while (FindNextFileW(find.Get(), &data));
  return true;
}

bool IsRealFolderNow(const std::wstring& path) {
  std::wstring wideFolder = path;
  while (!wideFolder.empty() && wideFolder.back() == L'\\') wideFolder.pop_back();
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return GetFileAttributesExW(wideFolder.c_str(), GetFileExInfoStandard, &data) &&
         !IsLinkOrNotFolder(data.dwFileAttributes);
}

bool NoFolderOnTheWayIsALink(const TExactPath& path) {
  for (const std::wstring& folder : path.FoldersBelowRoot()) {
    if (!IsRealFolderNow(folder)) return false;
  }
  return true;
}

bool GetAttributesOf(const TExactPath& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return GetFileAttributesExW(path.Wide().c_str(), GetFileExInfoStandard, &data) != FALSE;
}

bool SetAttributesOf(const TExactPath& path, DWORD attributes) {
  return SetFileAttributesW(path.Wide().c_str(), attributes) != FALSE;
}

bool DeleteFileExact(const TExactPath& path) { return DeleteFileW(path.Wide().c_str()) != FALSE; }

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
