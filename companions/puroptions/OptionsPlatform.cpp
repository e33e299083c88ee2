#include "OptionsPlatform.h"

#include <objbase.h>
#include <shlobj.h>

namespace pur::options {

namespace {

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
