#include "SafeDllLoad.h"

#include "VersionInfo.h"

namespace pur {

namespace {

// Spelled out: older headers lack them, and older systems lack the functions.
constexpr DWORD kSearchDllLoadDir = 0x00000100;      // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
constexpr DWORD kSearchDefaultDirs = 0x00001000;     // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
constexpr DWORD kSafeSearchMode = 0x00000001 | 0x00008000;  // BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | _PERMANENT

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetSearchPathModeFn = BOOL(WINAPI*)(DWORD);

template <class F>
F Kernel32Entry(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

bool IsFullPath(const std::string& path) {
  bool drive = path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  bool unc = path.size() > 2 && path[0] == '\\' && path[1] == '\\';
  return drive || unc;
}

}  // namespace

bool RestrictDllSearch() {
  SetDllDirectoryA("");  // takes the current folder out of the search
  if (auto setMode = Kernel32Entry<SetSearchPathModeFn>("SetSearchPathMode")) {
    setMode(kSafeSearchMode);
  }
  auto setDefault = Kernel32Entry<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
  return setDefault != nullptr && setDefault(kSearchDefaultDirs) != FALSE;
}

std::string ProgramFolder() {
  std::string self = OwnExecutableName();
  return self.substr(0, self.find_last_of('\\') + 1);
}

HMODULE LoadLibraryFromPath(const std::string& fullPath) {
  if (!IsFullPath(fullPath)) return nullptr;
  HMODULE module = LoadLibraryExA(fullPath.c_str(), nullptr, kSearchDllLoadDir | kSearchDefaultDirs);
  // Systems without the search flags refuse them as an invalid parameter.
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
    module = LoadLibraryExA(fullPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  return module;
}

}  // namespace pur
