#include "ExactPath.h"

#include <windows.h>

#include <algorithm>

#include "WindowsNames.h"

namespace pur {
namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

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

// The name rules look at ASCII only: every other character stands as a byte none of them uses.
std::string AsciiSkeleton(std::wstring_view part) {
  std::string skeleton(part.size(), '\x80');
  for (size_t i = 0; i < part.size(); ++i) {
    if (part[i] < 0x80) skeleton[i] = static_cast<char>(part[i]);
  }
  return skeleton;
}

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// Every part after the root is exact; the last may be empty (a folder's final backslash).
bool PartsAreExact(std::wstring_view rest) {
  size_t start = 0;
  while (start < rest.size()) {
    const size_t end = rest.find(L'\\', start);
    const std::wstring_view part = rest.substr(start, end == std::wstring_view::npos ? rest.npos : end - start);
    if (!IsExactPart(part)) return false;
    if (end == std::wstring_view::npos) break;
    start = end + 1;
  }
  return true;
}

// Length of the root in `wide` ("X:\" or "\\server\share\"), 0 when it has none.
size_t RootLength(std::wstring_view wide) {
  if (wide.size() >= 3 && IsAsciiLetter(wide[0]) && wide[1] == L':' && wide[2] == L'\\') return 3;
  if (wide.size() < 3 || wide[0] != L'\\' || wide[1] != L'\\') return 0;
  const size_t server = wide.find(L'\\', 2);
  if (server == std::wstring_view::npos) return 0;
  const size_t share = wide.find(L'\\', server + 1);
  if (share == std::wstring_view::npos) return 0;
  if (!IsExactPart(wide.substr(2, server - 2)) || !IsExactPart(wide.substr(server + 1, share - server - 1))) {
    return 0;
  }
  return share + 1;
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

bool IsExactPart(std::wstring_view part) {
  if (part.empty() || part == L"." || part == L"..") return false;
  if (part.find_first_of(L"\\/:*?") != std::wstring_view::npos) return false;
  return !IsNameWindowsWouldChange(AsciiSkeleton(part));
}

std::optional<TExactPath> TExactPath::FromAnsi(std::string_view path) {
  const std::optional<std::wstring> wide = ToWide(path);
  if (!wide) return std::nullopt;
  const size_t root = RootLength(*wide);
  if (root == 0) return std::nullopt;
  const std::wstring_view rest = std::wstring_view(*wide).substr(root);
  if (!PartsAreExact(rest)) return std::nullopt;
  const bool unc = (*wide)[0] == L'\\';
  std::wstring longForm = unc ? kLongUncPrefix + wide->substr(2) : kLongPrefix + *wide;
  const size_t rootWide = longForm.size() - rest.size();
  return TExactPath(std::string(path), std::move(longForm), rootWide);
}

TExactPath TExactPath::Child(std::string_view ansiName, std::wstring_view wideName) const {
  TExactPath child = *this;
  child.ansi_.append(ansiName);
  child.wide_.append(wideName);
  return child;
}

TExactPath TExactPath::AsFolder() const {
  if (IsFolder()) return *this;
  TExactPath folder = *this;
  folder.ansi_ += '\\';
  folder.wide_ += L'\\';
  return folder;
}

std::wstring TExactPath::PlainWide() const {
  if (wide_.rfind(kLongUncPrefix, 0) == 0) return L"\\\\" + wide_.substr(std::size(kLongUncPrefix) - 1);
  return wide_.substr(std::size(kLongPrefix) - 1);
}

std::vector<std::wstring> TExactPath::FoldersBelowRoot() const {
  std::vector<std::wstring> folders;
  for (size_t slash = wide_.find(L'\\', rootWide_); slash != std::wstring::npos;
       slash = wide_.find(L'\\', slash + 1)) {
    folders.push_back(wide_.substr(0, slash));
  }
  return folders;
}

}  // namespace pur
