// Removes a test's own folder with everything in it. One rule for every test and benchmark:
// - a link (junction, symbolic link, any reparse point) is never entered, so nothing outside
//   the tree is reached; on Windows the link itself is removed, under Wine it is left alone
//   (Wine's delete calls on a Unix symlink delete its target or never return);
// - read-only, hidden and system entries are made plain first, or they could not be deleted;
// - wide calls on "\\?\" paths, so that chains deeper than MAX_PATH go too;
// - an empty path or a root is refused before anything is touched.
#pragma once

#include <windows.h>

#include <string>

namespace purtest {

inline bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The absolute form of `path` without a trailing backslash; empty when it has none.
inline std::wstring FullPath(const std::wstring& path) {
  if (path.empty()) return std::wstring();
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::wstring();
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return std::wstring();
  full.resize(length);
  while (!full.empty() && full.back() == L'\\') full.pop_back();
  return full;
}

// `path` without its "\\?\" or "\\?\UNC\" marker, as "C:\x" or "\\server\share\x".
inline std::wstring WithoutLongMarker(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

// True for an empty path, a drive ("C:", "C:\") or a share ("\\server\share"): never a
// folder a test made.
inline bool IsRootOrEmpty(const std::wstring& path) {
  const std::wstring full = WithoutLongMarker(FullPath(path));
  if (full.size() <= 2) return true;
  if (full.rfind(L"\\\\", 0) != 0) return full.find(L'\\') == std::wstring::npos;
  const size_t server = full.find(L'\\', 2);
  if (server == std::wstring::npos) return true;
  return full.find(L'\\', server + 1) == std::wstring::npos;
}

// The "\\?\" form of an absolute path, which the wide calls take at any length.
inline std::wstring LongForm(const std::wstring& full) {
  if (full.rfind(L"\\\\?\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

namespace detail {

inline bool RemoveLink(const std::wstring& path, DWORD attributes) {
  if (RunningUnderWine()) return false;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return RemoveDirectoryW(path.c_str()) != 0;
  return DeleteFileW(path.c_str()) != 0;
}

// `folder` is in the long form, without a trailing backslash.
inline bool RemoveContentAndFolder(const std::wstring& folder) {
  bool whole = true;
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        whole = RemoveLink(path, data.dwFileAttributes) && whole;
        continue;
      }
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        whole = RemoveContentAndFolder(path) && whole;
      } else {
        whole = DeleteFileW(path.c_str()) != 0 && whole;
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryW(folder.c_str()) != 0 && whole;
}

}  // namespace detail

// True when the folder and all it held are gone.
inline bool RemoveTree(const std::wstring& folder) {
  if (IsRootOrEmpty(folder)) return false;
  const std::wstring full = LongForm(FullPath(folder));
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return detail::RemoveLink(full, attributes);
  return detail::RemoveContentAndFolder(full);
}

// A path in the given code page (the caller's ANSI one unless told).
inline bool RemoveTree(const std::string& folder, UINT codePage = CP_ACP) {
  const int length = static_cast<int>(folder.size());
  std::wstring wide(static_cast<size_t>(MultiByteToWideChar(codePage, 0, folder.data(), length, nullptr, 0)), L'\0');
  MultiByteToWideChar(codePage, 0, folder.data(), length, wide.data(), static_cast<int>(wide.size()));
  return RemoveTree(wide);
}

}  // namespace purtest
