#include "uShellAct.h"

namespace pur {
namespace {

constexpr char kShellLibrary[] = "Shell32.dll";
constexpr char kEmptyRecycleBinEntry[] = "SHEmptyRecycleBinA";
constexpr char kShellLoadFailed[] = "Failed to load Shell32.dll.";

using EmptyRecycleBinProc = HRESULT(WINAPI*)(HWND, LPCSTR, DWORD);

// Releases the shell library on every way out, also when the call fails.
class ModuleHandle {
 public:
  explicit ModuleHandle(const char* name) : module_(LoadLibraryA(name)) {}
  ~ModuleHandle() {
    if (module_) FreeLibrary(module_);
  }
  ModuleHandle(const ModuleHandle&) = delete;
  ModuleHandle& operator=(const ModuleHandle&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

}  // namespace

DWORD RecycleBinFlags(bool ShowProgress, bool PlaySound) {
  DWORD flags = kSherbNoConfirmation;
  if (!ShowProgress) flags |= kSherbNoProgressUi;
  if (!PlaySound) flags |= kSherbNoSound;
  return flags;
}

void ShellEmptyRecycleBin(bool ShowProgress, bool PlaySound) {
  ModuleHandle shell(kShellLibrary);
  if (!shell.get()) {
    MessageBoxA(nullptr, kShellLoadFailed, "Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return;
  }
  auto empty = reinterpret_cast<EmptyRecycleBinProc>(
      reinterpret_cast<void*>(GetProcAddress(shell.get(), kEmptyRecycleBinEntry)));
  if (!empty) return;
  // A library has no window of its own to own the shell's UI; null root means every drive.
  empty(nullptr, nullptr, RecycleBinFlags(ShowProgress, PlaySound));
}

}  // namespace pur
