#include "uWindows.h"

#include <windows.h>
#include <shlobj.h>

namespace pur {
namespace {

constexpr DWORD kTempPathBufferSize = 1024;

using FolderQuery = UINT(WINAPI*)(LPSTR, UINT);

void AddFromQuery(std::vector<std::string>& folders, FolderQuery query) {
  char buffer[MAX_PATH + 1] = {};
  const UINT length = query(buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.emplace_back(buffer, length);
}

void AddShellFolder(std::vector<std::string>& folders, int csidl) {
  char buffer[MAX_PATH + 1] = {};
  if (SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)) &&
      buffer[0] != '\0') {
    folders.emplace_back(buffer);
  }
}

void AddEnvironmentFolder(std::vector<std::string>& folders, const char* name) {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetEnvironmentVariableA(name, buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) folders.emplace_back(buffer, length);
}

}  // namespace

std::string GetTempFolder() {
  char buffer[kTempPathBufferSize] = {};
  const DWORD length = GetTempPathA(kTempPathBufferSize, buffer);
  if (length == 0 || length >= kTempPathBufferSize) return {};
  return std::string(buffer, length);
}

std::vector<std::string> ProtectedFolders() {
  std::vector<std::string> folders;
  AddFromQuery(folders, GetWindowsDirectoryA);
  AddFromQuery(folders, GetSystemWindowsDirectoryA);
  AddFromQuery(folders, GetSystemDirectoryA);
  AddFromQuery(folders, GetSystemWow64DirectoryA);
  AddShellFolder(folders, CSIDL_PROFILE);
  AddShellFolder(folders, CSIDL_PROGRAM_FILES);
  AddShellFolder(folders, CSIDL_PROGRAM_FILESX86);
  AddEnvironmentFolder(folders, "USERPROFILE");
  AddEnvironmentFolder(folders, "ProgramFiles");
  AddEnvironmentFolder(folders, "ProgramFiles(x86)");
  AddEnvironmentFolder(folders, "ProgramW6432");
  AddEnvironmentFolder(folders, "SystemRoot");
  return folders;
}

}  // namespace pur
