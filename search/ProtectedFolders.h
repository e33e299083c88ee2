// The folders no cleaning may empty, and the one rule that tells whether a folder holds one.
// The library refuses such a temporary folder; the options box warns of a match-all mask on it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace pur {

// The Windows, system, profile and program-files folders, as far as the system names them.
std::vector<std::string> ProtectedFolders();

// The folder is a protected folder or one of their ancestors. Compared by name (ignoring
// case) and by the file system's identity, so that short names and links do not slip past.
bool HoldsProtectedFolder(const std::string& folder);

// The pieces of that comparison, also used to tell a drive's root.
struct FileIdentity {
  DWORD Volume;
  DWORD IndexHigh;
  DWORD IndexLow;
  bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::string& path);
// The full form of a path without a final backslash (but "X:\"); none when too long.
std::optional<std::string> FullPath(const std::string& path);
std::string WithoutFinalDelimiter(std::string path);
// "X:\" or "\\server\share".
bool IsRootForm(const std::string& full);
// Same folder by name or, through short names, links and case, by identity.
bool SameFolder(const std::string& full, const std::optional<FileIdentity>& identity, const std::string& other);

}  // namespace pur
