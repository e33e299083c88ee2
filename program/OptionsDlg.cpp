#include "OptionsDlg.h"

#include <utility>

#include "SafeDllLoad.h"

namespace pur {

namespace {

// The binding's program-wide state: untried, bound, or failed for good.
struct TOptionsBinding {
  TModule Module;
  OpenOptionsBoxFn Entry = nullptr;
  bool Failed = false;  // a load was tried and failed: no further attempt
};

TOptionsBinding& Binding() {
  static TOptionsBinding binding;
  return binding;
}

constexpr uint32_t kBooleanMask = 0xFF;

void LoadOptionsLibrary(TOptionsBinding& binding) {
  // By full path from the program's folder: a bare name would also find a planted copy in the
  // current folder or along PATH.
  TModule module(LoadLibraryFromPath(ProgramFolder() + kOptionsLibraryName));
  if (module) {
    auto entry = reinterpret_cast<OpenOptionsBoxFn>(
        reinterpret_cast<void*>(GetProcAddress(module.Get(), kOptionsEntryName)));
    if (entry) {
      binding.Module = std::move(module);
      binding.Entry = entry;
      return;
    }
  }
  binding.Failed = true;
}

}  // namespace

bool OpenOptions(HWND parent) {
  TOptionsBinding& binding = Binding();
  if (!binding.Entry && !binding.Failed) LoadOptionsLibrary(binding);
  if (!binding.Entry) return false;
  return (binding.Entry(parent) & kBooleanMask) != 0;
}

void FreeOptionsLibrary() {
  TOptionsBinding& binding = Binding();
  if (!binding.Entry) return;
  binding.Entry = nullptr;
  binding.Module.Reset();
}

}  // namespace pur
