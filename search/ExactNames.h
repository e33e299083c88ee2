// Names and paths between the library's ANSI strings and the file system's UTF-16 names.
// The ANSI calls convert listed names with a "best fit": a name the code page cannot hold
// comes back as another name (U+FF3C even as a real backslash, a path into another folder).
// Here every name is listed wide and converted exactly, or not at all; found paths go to the
// wide calls in their "\\?\" form (TExactPath), and links are checked when a folder is
// entered or a file deleted, not only when they were listed.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ExactPath.h"
#include "WinOwners.h"

namespace pur {

// A file time as one number of 100 ns ticks since 1601.
inline uint64_t FileTimeTicks(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// One entry of a folder listing, with its name already checked by `ListedNameOf`.
struct TListedEntry {
  std::string Name;
  std::wstring WideName;
  DWORD Attributes = 0;
  uint64_t Size = 0;
  uint64_t LastWrite = 0;  // file time ticks
};

// A listed name that may be joined to its folder: none for a name that is not an exact
// part (".", "..", a separator, ':', a wildcard, a final dot or blank, a device name) and a
// name without an exact ANSI form.
std::optional<std::string> ListedNameOf(std::wstring_view name);

// Lists every entry of `folder` with the wide calls and calls onEntry for each entry whose
// name passes `ListedNameOf`, in listing order. Answers false when the folder could not be
// listed.
// A `stop` that becomes true ends the listing early (answering false).
bool ForEachListedEntry(const TExactPath& folder, const std::function<void(const TListedEntry& entry)>& onEntry,
                        const std::atomic<bool>* stop = nullptr);

// The folder is, at this moment, a real folder and no link: told by its path without a final
// backslash (which would name what a link points to). Answers false for a link, a file, or
// what cannot be reached.
bool IsRealFolderNow(const std::wstring& wideFolder);

// No folder between the path's root and its last part is a link at this moment.
bool NoFolderOnTheWayIsALink(const TExactPath& path);

bool GetAttributesOf(const TExactPath& path, WIN32_FILE_ATTRIBUTE_DATA& data);
bool SetAttributesOf(const TExactPath& path, DWORD attributes);
// Deletes the file itself, never what a final link points to: DeleteFileW opens the entry
// without following a final reparse point and deletes through that handle.
bool DeleteFileExact(const TExactPath& path);

// Wide forms of the everyday file calls for paths that are not found files (the journal's):
// any length, converted exactly from the ANSI code page.
bool GetAttributesOf(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data);
bool DeleteFileExact(const std::string& path);
// INVALID_HANDLE_VALUE when the path has no exact wide form or the file can't be opened.
HANDLE CreateFileExact(const std::string& path, DWORD access, DWORD share, DWORD disposition);

}  // namespace pur
