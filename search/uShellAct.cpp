#include "uShellAct.h"

#include "WinOwners.h"

namespace pur {
namespace {

constexpr char kShellLibrary[] = "Shell32.dll";
constexpr char kEmptyRecycleBinEntry[] = "SHEmptyRecycleBinA";
constexpr char kShellLoadFailed[] = "Failed to load Shell32.dll.";

using EmptyRecycleBinProc = HRESULT(WINAPI*)(HWND, LPCSTR, DWORD);

}  // namespace

DWORD RecycleBinFlags(bool ShowProgress, bool PlaySound) {
  DWORD flags = kSherbNoConfirmation;
  if (!ShowProgress) flags |= kSherbNoProgressUi;
  if (!PlaySound) flags |= kSherbNoSound;
  return flags;
}

void ShellEmptyRecycleBin(bool ShowProgress, bool PlaySound) {
  // Released on every way out, also when the call fails.
  const TModule shell(LoadLibraryA(kShellLibrary));
  if (!shell) {
    MessageBoxA(nullptr, kShellLoadFailed, "Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return;
  }
  auto empty = reinterpret_cast<EmptyRecycleBinProc>(
      reinterpret_cast<void*>(GetProcAddress(shell.Get(), kEmptyRecycleBinEntry)));
  if (!empty) return;
  // A library has no window of its own to own the shell's UI; null root means every drive.
  empty(nullptr, nullptr, RecycleBinFlags(ShowProgress, PlaySound));
}

}  // namespace pur
