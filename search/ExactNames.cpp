#include "ExactNames.h"

#include <algorithm>

#include "WinOwners.h"

namespace pur {
namespace {

bool IsUtf8Process() { return GetACP() == CP_UTF8; }

std::optional<std::wstring> ToWide(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), needed) != needed) {
    return std::nullopt;
  }
  return wide;
}

// UTF-8 knows no best fit, and Windows refuses WC_NO_BEST_FIT_CHARS and a default-character
// report for it: invalid UTF-16 (a lone surrogate) is the only failure there.
std::optional<std::string> ToAnsi(std::wstring_view text) {
  if (text.empty()) return std::string();
  const bool utf8 = IsUtf8Process();
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultReport = utf8 ? nullptr : &usedDefault;
  const int length = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr,
                                         usedDefaultReport);
  if (needed <= 0 || usedDefault) return std::nullopt;
  std::string ansi(static_cast<size_t>(needed), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, text.data(), length, ansi.data(), needed, nullptr,
                          usedDefaultReport) != needed ||
      usedDefault) {
    return std::nullopt;
  }
  return ansi;
}

bool IsDotName(std::wstring_view name) { return name == L"." || name == L".."; }

bool HoldsPathOrWildcardCharacter(std::string_view name) {
  return name.find_first_of("\\/:*?") != std::string_view::npos;
}

uint64_t SizeOf(const WIN32_FIND_DATAW& data) {
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

std::optional<std::wstring> WideFromAnsi(std::string_view text) { return ToWide(text); }

std::optional<std::string> AnsiFromWide(std::wstring_view text) {
  // Every ANSI code page holds ASCII as it is: most names need no conversion calls.
  if (std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x80; })) {
    return std::string(text.begin(), text.end());
  }
  std::optional<std::string> ansi = ToAnsi(text);
  if (!ansi) return std::nullopt;
  const std::optional<std::wstring> back = ToWide(*ansi);
  if (!back || *back != text) return std::nullopt;
  return ansi;
}

std::optional<std::string> ListedNameOf(std::wstring_view name) {
  if (name.empty() || IsDotName(name)) return std::nullopt;
  if (name.find_first_of(L"\\/:") != std::wstring_view::npos) return std::nullopt;
  std::optional<std::string> ansi = AnsiFromWide(name);
  // Checked again after the conversion: the name that is joined to the folder is this one.
  if (!ansi || HoldsPathOrWildcardCharacter(*ansi)) return std::nullopt;
  return ansi;
}

bool ForEachListedEntry(const std::string& pattern,
                        const std::function<void(const TListedEntry& entry)>& onEntry) {
  const std::optional<std::wstring> widePattern = ToWide(pattern);
  if (!widePattern) return false;
  WIN32_FIND_DATAW data;
  TFindHandle find(FindFirstFileExW(widePattern->c_str(), FindExInfoBasic, &data,
                                    FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find) return false;
  do {
    std::optional<std::string> name = ListedNameOf(data.cFileName);
    if (!name) continue;
    onEntry(TListedEntry{std::move(*name), data.dwFileAttributes, SizeOf(data)});
  } while (FindNextFileW(find.Get(), &data));
  return true;
}

bool GetAttributesOf(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  const std::optional<std::wstring> wide = ToWide(path);
  if (!wide) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  return GetFileAttributesExW(wide->c_str(), GetFileExInfoStandard, &data) != FALSE;
}

bool SetAttributesOf(const std::string& path, DWORD attributes) {
  const std::optional<std::wstring> wide = ToWide(path);
  return wide && SetFileAttributesW(wide->c_str(), attributes) != FALSE;
}

bool DeleteFileExact(const std::string& path) {
  const std::optional<std::wstring> wide = ToWide(path);
  return wide && DeleteFileW(wide->c_str()) != FALSE;
}

HANDLE CreateFileExact(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  const std::optional<std::wstring> wide = ToWide(path);
  if (!wide) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return INVALID_HANDLE_VALUE;
  }
  return CreateFileW(wide->c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

}  // namespace pur
