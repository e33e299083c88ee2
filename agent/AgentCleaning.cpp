#include "AgentCleaning.h"

#include <chrono>
#include <exception>
#include <utility>

#include "AgentSchedule.h"
#include "AgentTexts.h"
#include "EventLog.h"
#include "SettingsValues.h"
#include "WinOwners.h"
#include "uUserMainPrgm_Format.h"
#include "uUserMainPrgm_Texts.h"

namespace pur::agent {

static_assert(TCleaningOutcome::kFailed == mainform::kExitSettingsUnreadable,
              "/once and /S answer unreadable settings alike");

namespace {

// Leaves the agent's state as it was before the run, also when a step raised an error.
class TRunScope {
 public:
  TRunScope(bool& busy, std::unique_ptr<TPURLib>& lib, std::unique_ptr<TPURGORegistry>& settings)
      : Busy_(busy), Lib_(lib), Settings_(settings) {
    Busy_ = true;
  }
  ~TRunScope() {
    TPURLib::SetEndHandler(nullptr);
    if (Lib_) {
      Lib_->SetOnProgress(nullptr);
      Lib_->ReleaseLock();  // refused, and harmless, when another copy holds it
    }
    Lib_.reset();
    Settings_.reset();
    Busy_ = false;
  }
  TRunScope(const TRunScope&) = delete;
  TRunScope& operator=(const TRunScope&) = delete;

 private:
  bool& Busy_;
  std::unique_ptr<TPURLib>& Lib_;
  std::unique_ptr<TPURGORegistry>& Settings_;
};

std::string WaitingText(int32_t count) {
  return count == 1 ? std::string(texts::kWaitingOne) : FormatNumber(texts::kWaitingMany, count);
}

}  // namespace

int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::optional<int64_t> ReadLastCleaning(HKEY root, const std::string& serviceKey) {
  int64_t value = 0;
  DWORD size = sizeof value;
  if (RegGetValueA(root, serviceKey.c_str(), kLastCleaningValue, RRF_RT_REG_QWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

void WriteLastCleaning(HKEY root, const std::string& serviceKey, int64_t when) {
  HKEY opened = nullptr;
  if (RegCreateKeyExA(root, serviceKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  const TRegKey key(opened);
  RegSetValueExA(key.Get(), kLastCleaningValue, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&when), sizeof when);
}

bool AutomaticCleaningWanted(const TPURGORegistry& settings) {
  const TServiceSettings& service = *settings.Service;
  // An administrator's "no automatic cleaning" holds whatever the user consented to.
  return !settings.FirstStart && service.AutoStart && service.CleaningType != ctNone && service.AutomaticConsent &&
         !settings.AutomaticCleaningForbidden;
}

bool RunsElevated() {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return false;
  const THandle token(opened);
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  // Default is the user's only token (no UAC, or a standard user): the user's own rights.
  return GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof type, &size) &&
         type == TokenElevationTypeFull;
}

TCleaningOutcome TAgentCleaning::Run(bool noteIfLocked, bool automatic) {
  TCleaningOutcome outcome;
  if (Busy_) {
    outcome.Detail = texts::kAlreadyCleaning;
    return outcome;
  }
  TRunScope scope(Busy_, Lib_, Settings_);
  Stopped_ = false;
  Announced_ = false;
  Waiting_ = 0;
  Journal_.clear();
  try {
    outcome = RunSteps(noteIfLocked, automatic);
  } catch (const std::exception& error) {
    outcome = {TCleaningOutcome::kFailed, 0, 0, error.what()};
    ReportRunFailed(kRunnerAgent, NoticeOf(outcome));
  }
  // Once per spell of the lock, as the journal says it.
  if ((outcome.Kind == TCleaningOutcome::kLocked && noteIfLocked) || outcome.Kind == TCleaningOutcome::kNotChecked) {
    ReportRunHeldBack(kRunnerAgent, NoticeOf(outcome));
  }
  return outcome;
}

TCleaningOutcome TAgentCleaning::RunSteps(bool noteIfLocked, bool automatic) {
  Settings_ = std::make_unique<TPURGORegistry>();
  // A store that cannot be read whole is not cleaned with: a value that fell back to its
  // default could delete what the user excluded.
  try {
    Settings_->Load();
  } catch (const ERegistryException& error) {
    NoteUnreadable();
    return {TCleaningOutcome::kFailed, 0, 0, error.what()};
  }
  if (Settings_->FirstStart) return {TCleaningOutcome::kNotChecked, 0, 0, {}};
  // The agent decided earlier; what counts is what the user's settings say now.
  if (automatic && !AutomaticCleaningWanted(*Settings_)) return {TCleaningOutcome::kNotWanted, 0, 0, {}};
  Lib_ = std::make_unique<TPURLib>(kAgentNameFormat, Settings_->ProductName, kLibReserved, LibraryPath_);
  Lib_->SetRefreshInterval(Settings_->Display->RefreshSpeed);
  if (!Lib_->TakeLock()) {
    const std::string owner = Lib_->LockOwnerName();
    if (noteIfLocked) NoteLocked(owner);
    return {TCleaningOutcome::kLocked, 0, 0, owner};
  }
  TPURLib::SetEndHandler([this](uint8_t kind) { Run_.StepFinished(kind); });
  // The search waits inside the library; the agent's own messages go on meanwhile.
  Lib_->SetOnProgress([this](double) {
    ProcessMessages();
    return true;
  });
  Run_.Run();
  WriteLastCleaning(Settings_->RootKey, Settings_->GetVersionKey() + "\\" + names::kServiceKey, NowSeconds());
  return {TCleaningOutcome::kCleaned, Run_.Gain(), Waiting_, {}};
}

void TAgentCleaning::Stop() {
  Stopped_ = true;
  Run_.Stop();
  if (Lib_) Lib_->StopSearch();
}

void TAgentCleaning::NoteError(const std::string& line) {
  if (Busy_) return;
  ReportRunRefused(kRunnerAgent, line, {});
  try {
    TPURGORegistry settings;
    try {
      settings.Load();
    } catch (const ERegistryException&) {
      // The journal's own settings may still have been read whole.
    }
    const TJournalSettings& journal = *settings.Journal;
    if (!settings.SectionReadWhole(names::kJournalKey) || !journal.Enabled ||
        (journal.Events & JournalBitOf(ikError)) == 0) {
      return;
    }
    TPURLib lib(kAgentNameFormat, settings.ProductName, kLibReserved, LibraryPath_);
    lib.AppendNote(journal.Location + mainform::kJournalFileName, line + "\r\n");
  } catch (const std::exception&) {
    // The refusal stands whether or not the note can be written.
  }
}

void TAgentCleaning::NoteLocked(const std::string& owner) {
  const TJournalSettings& journal = *Settings_->Journal;
  if (!journal.Enabled || (journal.Events & JournalBitOf(ikWarning)) == 0) return;
  Lib_->AppendNote(journal.Location + mainform::kJournalFileName,
                   FormatText(texts::kJournalLocked, owner) + "\r\n");
}

// As the program's "/S" says it: the event always, the journal only where its own settings
// were read.
void TAgentCleaning::NoteUnreadable() {
  std::vector<std::string> reasons;
  for (const std::string& reason : Settings_->LoadErrors()) reasons.push_back(FormatText(mainform::kSettingsFailed, reason));
  ReportRunRefused(kRunnerAgent, mainform::kAutoRunRefused, reasons);
  const TJournalSettings& journal = *Settings_->Journal;
  if (!Settings_->SectionReadWhole(names::kJournalKey) || !journal.Enabled ||
      (journal.Events & JournalBitOf(ikError)) == 0) {
    return;
  }
  std::string note;
  for (const std::string& reason : Settings_->LoadErrors()) {
    note += FormatText(mainform::kSettingsFailed, reason) + "\r\n";
  }
  note += std::string(mainform::kAutoRunRefused) + "\r\n";
  // The refusal and its reason stand whether or not the note can be written.
  try {
    Lib_ = std::make_unique<TPURLib>(kAgentNameFormat, Settings_->ProductName, kLibReserved, LibraryPath_);
    Lib_->AppendNote(journal.Location + mainform::kJournalFileName, note);
  } catch (const std::exception&) {
  }
}

void TAgentCleaning::AddInfoLine(const std::string& text, TInfoKind kind) {
  if (Settings_ && (Settings_->Journal->Events & JournalBitOf(kind)) != 0) Journal_.push_back(text);
}

// The run clears the journal as it begins: its first step announces the agent.
void TAgentCleaning::SetStatus(const char* text) {
  if (!Announced_ && Lib_) {
    AddInfoLine(FormatText(texts::kJournalStart, Lib_->LibName()), ikNormal);
    Announced_ = true;
  }
  if (OnStatus) OnStatus(text);
}

void TAgentCleaning::ProcessMessages() {
  if (OnMessages) OnMessages();
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      Stop();
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void TAgentCleaning::ReviewFoundFiles(std::vector<std::string>& names) {
  if (!Settings_ || !Settings_->Cleaning->ConfirmDelete) return;
  Waiting_ = static_cast<int32_t>(names.size());
  names.clear();
  AddInfoLine(WaitingText(Waiting_), ikWarning);
}

std::string NoticeOf(const TCleaningOutcome& outcome) {
  switch (outcome.Kind) {
    case TCleaningOutcome::kCleaned:
      if (outcome.Waiting > 0) return WaitingText(outcome.Waiting);
      return FormatText(texts::kCleaned, FormatSize(outcome.Gain));
    case TCleaningOutcome::kNotChecked: return texts::kFirstStart;
    case TCleaningOutcome::kNotWanted: return {};
    case TCleaningOutcome::kFailed: return FormatText(texts::kCannotClean, outcome.Detail);
    case TCleaningOutcome::kLocked: return FormatText(texts::kLockedNotice, outcome.Detail);
  }
  return {};
}

}  // namespace pur::agent
