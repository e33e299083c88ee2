#include "ProtectedFolders.h"

#include <shlobj.h>

#include "ExactPath.h"
#include "WinOwners.h"

namespace pur {
namespace {

using FolderQuery = UINT(WINAPI*)(LPSTR, UINT);

void AddFromQuery(std::vector<std::string>& folders, FolderQuery query) {
  char buffer[MAX_PATH + 1] = {};
  const UINT length = query(buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.emplace_back(buffer, length);
}

void AddShellFolder(std::vector<std::string>& folders, int csidl) {
  char buffer[MAX_PATH + 1] = {};
  if (SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)) && buffer[0] != '\0') {
    folders.emplace_back(buffer);
  }
}

void AddEnvironmentFolder(std::vector<std::string>& folders, const char* name) {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetEnvironmentVariableA(name, buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.emplace_back(buffer, length);
}

std::optional<std::string> Parent(const std::string& full) {
  if (IsRootForm(full)) return std::nullopt;
  const size_t slash = full.rfind('\\');
  if (slash == std::string::npos) return std::nullopt;
  return full.substr(0, slash == 2 ? 3 : slash);
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

}  // namespace

std::vector<std::string> ProtectedFolders() {
  std::vector<std::string> folders;
  AddFromQuery(folders, GetWindowsDirectoryA);
  AddFromQuery(folders, GetSystemWindowsDirectoryA);
  AddFromQuery(folders, GetSystemDirectoryA);
  AddFromQuery(folders, GetSystemWow64DirectoryA);
  for (int csidl : {CSIDL_PROFILE, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON}) {
    AddShellFolder(folders, csidl);
  }
  // A 32-bit process on a 64-bit system is told the x86 folder for both program-files names.
  for (const char* name : {"USERPROFILE", "ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "SystemRoot"}) {
    AddEnvironmentFolder(folders, name);
  }
  return folders;
}

bool HoldsProtectedFolder(const std::string& folder) {
  const std::optional<std::string> full = FullPath(folder);
  if (!full) return false;
  const std::optional<FileIdentity> identity = IdentityOf(*full);
  for (const std::string& protectedFolder : ProtectedFolders()) {
    for (std::optional<std::string> step = FullPath(protectedFolder); step; step = Parent(*step)) {
      if (SameFolder(*full, identity, *step)) return true;
    }
  }
  return false;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  const std::optional<std::wstring> wide = WideFromAnsi(path);
  if (!wide) return std::nullopt;
  const TFileHandle file(CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

std::string WithoutFinalDelimiter(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::optional<std::string> FullPath(const std::string& path) {
  const std::optional<std::wstring> wide = WideFromAnsi(path);
  if (!wide) return std::nullopt;
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetFullPathNameW(wide->c_str(), MAX_PATH, buffer, nullptr);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  const std::optional<std::string> full = AnsiFromWide(std::wstring_view(buffer, length));
  if (!full) return std::nullopt;
  return WithoutFinalDelimiter(*full);
}

bool IsRootForm(const std::string& full) {
  if (full.size() == 3 && full[1] == ':') return true;
  if (full.rfind("\\\\", 0) != 0) return false;
  const size_t server = full.find('\\', 2);
  return server == std::string::npos || full.find('\\', server + 1) == std::string::npos;
}

bool SameFolder(const std::string& full, const std::optional<FileIdentity>& identity, const std::string& other) {
  if (SameNameIgnoringCase(full, other)) return true;
  if (!identity) return false;
  const std::optional<FileIdentity> otherIdentity = IdentityOf(other);
  return otherIdentity && *otherIdentity == *identity;
}

}  // namespace pur
