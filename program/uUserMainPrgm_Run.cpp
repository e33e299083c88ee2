// The cleaning run of the main window: Start/Stop, the three steps, the end of each step,
// the deletion of the found files, the summary and the journal, and the automatic mode.
#include <exception>
#include <string>
#include <vector>

#include "CommaText.h"
#include "FileListFormat.h"
#include "uFileList.h"
#include "uUserMainPrgm.h"
#include "uUserMainPrgm_Format.h"

namespace pur {

using namespace mainform;

namespace {

// Resets a flag when the scope ends, also by an exception.
class TFlagReset {
 public:
  explicit TFlagReset(bool& flag) : Flag_(flag) {}
  ~TFlagReset() { Flag_ = false; }
  TFlagReset(const TFlagReset&) = delete;
  TFlagReset& operator=(const TFlagReset&) = delete;

 private:
  bool& Flag_;
};

}  // namespace

void TUserMainForm::ButtonStartStopClick() {
  if (FIdle && DeferIfInsideProgress(kIdButtonStartStop)) return;
  if (!FRegistry) return;
  if (FRegistry->FirstStart) {
    MessageBoxA(Window_, kFirstStartText, kFirstStartTitle, MB_OK | MB_ICONWARNING);
    OpenOptionsBox();  // at once, as the run (or the stop) goes on after it
    if (!FRegistry) return;
  }
  if (FIdle) {
    // Without the library nothing would ever bring the window back to idle.
    if (!FLib) {
      AddInfoLine(kNotLoaded, ikError);
      return;
    }
    SetIdle(false);
    try {
      RunCleaning();
    } catch (const std::exception& error) {
      AddInfoLine(error.what(), ikError);
    }
    return;
  }
  if (FLib) FLib->StopSearch();
  AddInfoLine(kUserAbort, ikError);
}

void TUserMainForm::RunCleaning() {
  FStartTick = GetTickCount();
  FJournal->clear();
  FTempGain = -1;
  FPersoGain = -1;
  FStarting = true;
  TFlagReset starting(FStarting);
  if (!FLib) return;

  const TCleaningSettings& cleaning = *FRegistry->Cleaning;
  if (cleaning.EmptyRecycleBin && !FIdle && FLib) {
    SetInfo(kStepRecycleBin);
    PlayAnimation(kAviEmptyRecycleBin);
    ProcessMessages();
    if (FLib) FLib->EmptyRecycleBin();
  }
  if (cleaning.EmptyTempFolder && !FIdle && FLib) {
    SetInfo(kStepTempFolder);
    PlayAnimation(kAviDeleteFile);
    ProcessMessages();
    if (FLib) FTempGain = static_cast<int64_t>(FLib->EmptyTempFolder());
  }
  if (cleaning.RunPersonalSearch && !FIdle && FLib) {
    SetInfo(kStepPersoSearch);
    PlayAnimation(kAviFindFile);
    ProcessMessages();
    if (FLib) {
      FLib->SetPersoTree(*FRegistry->PersonalSearchData);
      FLib->RunPersoSearch();
    }
  }
}

void TUserMainForm::StepFinished(uint8_t code) {
  switch (code) {
    case kEndRecycleBin: AddInfoLine(kRecycleBinDone, ikNormal); break;
    case kEndTempFolder: AddInfoLine(kTempFolderDone, ikNormal); break;
    case kEndSearch: PersoSearchFinished(); break;
    default: break;
  }
}

void TUserMainForm::PersoSearchFinished() {
  AddInfoLine("", ikNormal);
  FPersoGain = 0;
  StringList found = ReadCommaText(FLib->GetSearchList(1));
  if (!WriteCommaText(found).empty()) {
    if (FRegistry->Cleaning->ConfirmDelete) {
      if (IsIconic(Window_)) ShowWindow(Window_, SW_RESTORE);
      ShowFileList(found, Window_);
    }
    DeleteFoundFiles(found);
  }
  AddInfoLine("", ikNormal);
  LogListItems(2, ikWarning);
  LogListItems(3, ikError);
  found.clear();
  ProcessMessages();
  WriteSummary();
}

void TUserMainForm::DeleteFoundFiles(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    if (!FLib || !FRegistry) return;
    const TCleaningSettings& cleaning = *FRegistry->Cleaning;
    int32_t freed = 0;
    if (!cleaning.TestMode) {
      freed = FLib->DeleteFile(name, cleaning.SendToRecycleBin, cleaning.ReadOnlyHiddenMode == 0);
    }
    if (freed != 0) {
      AddInfoLine(FormatText(kFileDeleted, name), ikNormal);
    } else {
      AddInfoLine(FormatText(kFileNotDeleted, name), ikWarning);
    }
    FPersoGain += static_cast<int64_t>(freed);
  }
}

void TUserMainForm::LogListItems(int32_t list, TInfoKind kind) {
  const StringList items = ReadCommaText(FLib->GetSearchList(list));
  if (WriteCommaText(items).empty()) return;
  AddInfoLine(JoinLines(items), kind);
}

void TUserMainForm::WriteSummary() {
  const TJournalSettings& journal = *FRegistry->Journal;
  if ((journal.Events & jeElapsedTime) != 0 && FStartTick != 0) {
    const uint32_t elapsed = GetTickCount() - FStartTick;  // wraps modulo 2^32
    AddInfoLine(FormatText(kElapsedLine, FormatDuration(elapsed)), ikNormal);
  }
  if ((journal.Events & jeGains) != 0) {
    if (FTempGain != -1) AddInfoLine(FormatText(kTempGainLine, FormatSize(FTempGain)), ikNormal);
    if (FPersoGain != -1) AddInfoLine(FormatText(kPersoGainLine, FormatSize(FPersoGain)), ikNormal);
    if (FTempGain != -1 && FPersoGain != -1) {
      AddInfoLine(FormatText(kTotalLine, FormatSize(FTempGain + FPersoGain)), ikNormal);
    }
  }
  if (journal.Enabled && FLib) {
    FLib->WriteReport(journal.Location + kJournalFileName, JoinLines(*FJournal),
                      journal.NewEachSearch);
  }
  StopAnimation();
  SetTimer(Window_, kTimerStart, kStartInterval, nullptr);
}

void TUserMainForm::TimerStartTimer() {
  KillTimer(Window_, kTimerStart);
  const int tag = TimerStartTag_++;
  if (!AutoMode_) return;
  if (tag == 0) ButtonStartStopClick();
  if (tag == 1) PostMessageA(Window_, WM_CLOSE, 0, 0);
}

}  // namespace pur
