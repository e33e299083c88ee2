#include "OptionsPlatform.h"

#include <objbase.h>
#include <shlobj.h>

namespace pur::options {

namespace {

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

std::string Environment(const char* name) {
  char value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// COM for the picker, released only when this call initialised it.
class TComScope {
 public:
  TComScope() : Initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~TComScope() {
    if (Initialised_) CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

 private:
  bool Initialised_;
};

int CALLBACK PickerEvent(HWND picker, UINT message, LPARAM, LPARAM data) {
  const char* start = reinterpret_cast<const char*>(data);
  if (message == BFFM_INITIALIZED && start && *start)
    SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(start));
  return 0;
}

}  // namespace

std::vector<std::string> ProtectedFolders() {
  std::vector<std::string> folders;
  char windows[MAX_PATH] = {};
  if (GetWindowsDirectoryA(windows, sizeof windows) > 0) folders.emplace_back(windows);
  for (int csidl : {CSIDL_PROFILE, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
                    CSIDL_PROGRAM_FILES_COMMON})
    folders.push_back(ShellFolder(csidl));
  // A 32-bit process on a 64-bit system is told the x86 folder for both names above.
  for (const char* name : {"ProgramW6432", "ProgramFiles", "ProgramFiles(x86)", "SystemRoot"})
    folders.push_back(Environment(name));
  std::vector<std::string> present;
  for (std::string& folder : folders)
    if (!folder.empty()) present.push_back(std::move(folder));
  return present;
}

std::vector<std::string> LogicalDrives() {
  std::vector<std::string> drives;
  const DWORD mask = GetLogicalDrives();
  for (int bit = 0; bit < 26; ++bit)
    if (mask & (1u << bit)) drives.push_back(std::string(1, static_cast<char>('A' + bit)) + ":\\");
  return drives;
}

std::optional<std::string> PickFolder(HWND owner, const char* title, const std::string& start) {
  TComScope com;
  char display[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.hwndOwner = owner;
  info.pszDisplayName = display;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = &PickerEvent;
  info.lParam = reinterpret_cast<LPARAM>(start.c_str());
  PIDLIST_ABSOLUTE picked = SHBrowseForFolderA(&info);
  if (!picked) return std::nullopt;
  char path[MAX_PATH] = {};
  const bool ok = SHGetPathFromIDListA(picked, path) != FALSE;
  CoTaskMemFree(picked);
  if (!ok || !*path) return std::nullopt;
  return std::string(path);
}

}  // namespace pur::options
