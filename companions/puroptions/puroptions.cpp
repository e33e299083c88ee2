// puroptions.dll: the options box of the program, one export. It reads the settings the way
// the program does and writes them only when the user confirms with OK.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

#include "AgentStartup.h"
#include "OptionsDialog.h"
#include "OptionsPlatform.h"
#include "OptionsTexts.h"
#include "PURGORegistry.h"
#include "ThisModule.h"
#include "uUserMainPrgm_Texts.h"

namespace pur::options {
namespace {

// One box at a time per process: a second call while one is open answers false.
std::atomic<bool> g_open{false};

class TOpenGuard {
 public:
  TOpenGuard() : Owned_(!g_open.exchange(true)) {}
  ~TOpenGuard() {
    if (Owned_) g_open = false;
  }
  TOpenGuard(const TOpenGuard&) = delete;
  TOpenGuard& operator=(const TOpenGuard&) = delete;
  bool Owned() const { return Owned_; }

 private:
  bool Owned_;
};

// With its trailing backslash: the agent is installed beside the box.
std::string ModuleFolder(HMODULE module) {
  char path[MAX_PATH * 4] = {};
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  if (length == 0 || length >= sizeof path) return {};
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

void ShowError(HWND owner, const char* format, const char* detail) {
  char text[1024];
  std::snprintf(text, sizeof text, format, detail);
  MessageBoxA(owner, text, texts::kCaption, MB_OK | MB_ICONERROR);
}

TOptionsValues ValuesOf(const TPURGORegistry& settings) {
  TOptionsValues values;
  values.Display = *settings.Display;
  values.Cleaning = *settings.Cleaning;
  values.Journal = *settings.Journal;
  values.Service = *settings.Service;
  values.PersonalSearch = *settings.PersonalSearchData;
  for (const TShownSetting& setting : ShownSettings())
    if (settings.Enforced(setting.Section, setting.Name))
      values.Policies.Enforced.push_back(std::string(setting.Section) + "\\" + setting.Name);
  values.Policies.AutomaticCleaningForbidden = settings.AutomaticCleaningForbidden;
  return values;
}

void Apply(const TOptionsValues& values, TPURGORegistry& settings) {
  *settings.Display = values.Display;
  *settings.Cleaning = values.Cleaning;
  *settings.Journal = values.Journal;
  *settings.Service = values.Service;
  *settings.PersonalSearchData = values.PersonalSearch;
}

bool OpenBox(HWND owner) {
  TOpenGuard guard;
  if (!guard.Owned()) return false;
  TPURGORegistry settings;
  try {
    settings.Load();
  } catch (const std::exception& error) {
    // Saving over a store we could not read would lose what followed the faulty value.
    ShowError(owner, texts::kLoadFailed, error.what());
    return false;
  }
  if (settings.OptionsForbidden) {
    MessageBoxA(owner, mainform::kOptionsForbidden, texts::kCaption, MB_OK | MB_ICONINFORMATION);
    return false;
  }
  const TOptionsValues before = ValuesOf(settings);
  TOptionsDialog dialog(ThisModule(), before);
  if (!dialog.Run(owner)) return false;
  const TOptionsValues& after = dialog.Values();
  KeepAgentStartInStep(after.Service.AutoStart, ModuleFolder(ThisModule()));
  // Confirming the box once also ends the program's first-start reminder.
  if (after == before && !settings.FirstStart) return false;
  const bool withdrawn = before.Service.AutomaticConsent && !after.Service.AutomaticConsent;
  const bool given = !before.Service.AutomaticConsent && after.Service.AutomaticConsent;
  Apply(after, settings);
  try {
    // A withdrawal counts at once; a consent only once the settings it was given for are stored.
    if (withdrawn) settings.SaveAutomaticConsent(false);
    settings.Save();
    if (given) settings.SaveAutomaticConsent(true);
  } catch (const std::exception& error) {
    ShowError(owner, texts::kSaveFailed, error.what());  // part may be written: reload anyway
  }
  return true;
}

}  // namespace
}  // namespace pur::options

extern "C" uint8_t __stdcall OpenOptionsBox(HWND owner) {
  try {
    return pur::options::OpenBox(owner) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}
