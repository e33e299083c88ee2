// Loading companion libraries from the program's own folder only: a bare name would also be
// looked for in the current folder and along PATH, where a planted DLL could run its code.
#pragma once

#include <windows.h>

#include <string>

namespace pur {

// Restricts the process's DLL search to the application folder and the system folders, and
// takes the current folder out of it. Called once at start-up; answers whether the platform
// offered the default-directories restriction (older systems get the rest only).
bool RestrictDllSearch();

// The folder of the running executable, with its trailing backslash.
std::string ProgramFolder();

// Loads the library at a full path (a relative one is refused), its own dependencies
// resolved from its folder and the system folders. nullptr on failure.
HMODULE LoadLibraryFromPath(const std::string& fullPath);

// A module handle that is freed when it goes.
class TModule {
 public:
  TModule() = default;
  explicit TModule(HMODULE module) : Module_(module) {}
  ~TModule() { Reset(); }
  TModule(const TModule&) = delete;
  TModule& operator=(const TModule&) = delete;
  HMODULE Get() const { return Module_; }
  void Reset(HMODULE module = nullptr) {
    if (Module_) FreeLibrary(Module_);
    Module_ = module;
  }

 private:
  HMODULE Module_ = nullptr;
};

}  // namespace pur
