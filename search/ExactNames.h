// Names and paths between the library's ANSI strings and the file system's UTF-16 names.
// The ANSI calls convert listed names with a "best fit": a name the code page cannot hold
// comes back as another name (U+FF3C even as a real backslash, a path into another folder).
// Here every name is listed wide and converted exactly, or not at all; paths go to the wide
// calls, which also work below folders deeper than MAX_PATH.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pur {

// The ANSI text as UTF-16; none when it is not valid in the process's ANSI code page.
std::optional<std::wstring> WideFromAnsi(std::string_view text);

// The UTF-16 text in the process's ANSI code page, exactly: none when a character has no
// exact form there (never a best-fit or default character) or the text does not convert
// back to the same UTF-16.
std::optional<std::string> AnsiFromWide(std::wstring_view text);

// One entry of a folder listing, with its name already checked by `ListedNameOf`.
struct TListedEntry {
  std::string Name;
  DWORD Attributes = 0;
  uint64_t Size = 0;
};

// A listed name that may be joined to its folder: none for ".", "..", a name holding '\',
// '/' or ':' (it would name another place), a name with a wildcard character, and a name
// without an exact ANSI form.
std::optional<std::string> ListedNameOf(std::wstring_view name);

// Lists `pattern` (folder + name pattern) with the wide calls and calls onEntry for each
// entry whose name passes `ListedNameOf`, in listing order. Answers false when the folder
// could not be listed.
bool ForEachListedEntry(const std::string& pattern,
                        const std::function<void(const TListedEntry& entry)>& onEntry);

// Wide forms of the everyday file calls, for paths in the ANSI code page of any length.
bool GetAttributesOf(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data);
bool SetAttributesOf(const std::string& path, DWORD attributes);
bool DeleteFileExact(const std::string& path);
// INVALID_HANDLE_VALUE when the path has no exact wide form or the file can't be opened.
HANDLE CreateFileExact(const std::string& path, DWORD access, DWORD share, DWORD disposition);

}  // namespace pur
