#include "uUserMainPrgm_Run.h"

#include <string>
#include <vector>

#include "CommaText.h"
#include "EventLog.h"
#include "uUserMainPrgm_Format.h"
#include "uUserMainPrgm_Texts.h"

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

bool RulesActive(const TCleaningSettings& cleaning) {
  return cleaning.MinimumAgeDays != 0 || !cleaning.KeepList.empty();
}

}  // namespace

std::string LeftByRulesLine(const char* step, int32_t tooRecent, int32_t kept) {
  return std::string(step) + " : " + std::to_string(tooRecent) + kLeftTooRecent + std::to_string(kept) + kLeftKept;
}

uint8_t JournalBitOf(TInfoKind kind) {
  switch (kind) {
    case ikWarning: return jeWarnings;
    case ikError: return jeErrors;
    default: return jeMessages;
  }
}

void TCleaningRun::Run() {
  StartTick_ = GetTickCount();
  Host_.Journal().clear();
  TempGain_ = -1;
  PersoGain_ = -1;
  Deleted_ = 0;
  NotDeleted_ = 0;
  StopAsked_ = false;
  Starting_ = true;
  TFlagReset starting(Starting_);
  if (!Host_.Lib() || !Host_.Settings()) return;

  const TCleaningSettings& cleaning = *Host_.Settings()->Cleaning;
  // Every step below deletes: none runs when the library cannot apply the user's limits.
  if (!Host_.Lib()->SetCleaningRules(cleaning.MinimumAgeDays, cleaning.KeepList)) {
    Host_.AddInfoLine(kRulesRefused, ikError);
    ReportRunRefused(Host_.Runner(), kRulesRefused, {});
    WriteSummary();  // the journal says why, and an unattended run ends as after a run
    return;
  }
  if (cleaning.EmptyRecycleBin && Host_.Running() && Host_.Lib()) {
    Host_.SetStatus(kStepRecycleBin);
    Host_.Animate(kAviEmptyRecycleBin);
    Host_.ProcessMessages();
    if (TPURLib* lib = Host_.Lib()) lib->EmptyRecycleBin();
  }
  if (cleaning.EmptyTempFolder && Host_.Running() && Host_.Lib()) {
    Host_.SetStatus(kStepTempFolder);
    Host_.Animate(kAviDeleteFile);
    Host_.ProcessMessages();
    if (TPURLib* lib = Host_.Lib()) TempGain_ = static_cast<int64_t>(lib->EmptyTempFolder());
    LogLeftByRules(kCleanTempFolder, kLeftInTempFolder);
  }
  if (cleaning.RunPersonalSearch && Host_.Running() && Host_.Lib()) {
    Host_.SetStatus(kStepPersoSearch);
    Host_.Animate(kAviFindFile);
    Host_.ProcessMessages();
    if (StopAsked_) {
      SearchStoppedBeforeItBegan();
      return;
    }
    TPURLib* lib = Host_.Lib();
    TPURGORegistry* settings = Host_.Settings();
    if (lib && settings) {
      lib->SetPersoTree(*settings->PersonalSearchData);
      lib->RunPersoSearch();
    }
  }
}

void TCleaningRun::StepFinished(uint8_t kind) {
  switch (kind) {
    case kEndRecycleBin: Host_.AddInfoLine(kRecycleBinDone, ikNormal); break;
    case kEndTempFolder: Host_.AddInfoLine(kTempFolderDone, ikNormal); break;
    case kEndSearch: PersoSearchFinished(); break;
    default: break;
  }
}

void TCleaningRun::PersoSearchFinished() {
  TPURLib* lib = Host_.Lib();
  TPURGORegistry* settings = Host_.Settings();
  if (!lib || !settings) return;
  Host_.AddInfoLine("", ikNormal);
  PersoGain_ = 0;
  LogLeftByRules(kCleanPersoSearch, kLeftBySearch);
  StringList found = ReadCommaText(lib->GetSearchList(1));
  if (!WriteCommaText(found).empty()) {
    Host_.ReviewFoundFiles(found);
    DeleteFoundFiles(found);
  }
  Host_.AddInfoLine("", ikNormal);
  LogListItems(2, ikWarning);
  LogListItems(3, ikError);
  found.clear();
  Host_.ProcessMessages();
  WriteSummary();
}

// Ends the step as a search stopped at once ends: nothing found, the stop as its error.
void TCleaningRun::SearchStoppedBeforeItBegan() {
  Host_.AddInfoLine("", ikNormal);
  PersoGain_ = 0;
  Host_.AddInfoLine("", ikNormal);
  Host_.AddInfoLine(kSearchStopped, ikError);
  Host_.ProcessMessages();
  WriteSummary();
}

void TCleaningRun::DeleteFoundFiles(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    TPURLib* lib = Host_.Lib();
    TPURGORegistry* settings = Host_.Settings();
    if (!lib || !settings) return;
    const TCleaningSettings& cleaning = *settings->Cleaning;
    int32_t freed = 0;
    if (!cleaning.TestMode) {
      freed = lib->DeleteFile(name, cleaning.SendToRecycleBin, cleaning.ReadOnlyHiddenMode == 0);
    }
    if (freed != 0) {
      Host_.AddInfoLine(FormatText(kFileDeleted, name), ikNormal);
      ++Deleted_;
    } else {
      Host_.AddInfoLine(FormatText(kFileNotDeleted, name), ikWarning);
      ++NotDeleted_;
    }
    PersoGain_ += static_cast<int64_t>(freed);
  }
}

// Only with limits set: without them the log stays as it always was.
void TCleaningRun::LogLeftByRules(int32_t cleaning, const char* step) {
  TPURLib* lib = Host_.Lib();
  TPURGORegistry* settings = Host_.Settings();
  if (!lib || !settings || !RulesActive(*settings->Cleaning)) return;
  const TLeftByRules left = lib->LeftByRules(cleaning);
  Host_.AddInfoLine(LeftByRulesLine(step, left.TooRecent, left.Kept), ikNormal);
}

void TCleaningRun::LogListItems(int32_t list, TInfoKind kind) {
  TPURLib* lib = Host_.Lib();
  if (!lib) return;
  const StringList items = ReadCommaText(lib->GetSearchList(list));
  if (WriteCommaText(items).empty()) return;
  Host_.AddInfoLine(JoinLines(items), kind);
}

void TCleaningRun::WriteSummary() {
  TPURGORegistry* settings = Host_.Settings();
  if (!settings) return;
  const TJournalSettings& journal = *settings->Journal;
  const bool testMode = settings->Cleaning->TestMode;
  if ((journal.Events & jeElapsedTime) != 0 && StartTick_ != 0) {
    const uint32_t elapsed = GetTickCount() - StartTick_;  // wraps modulo 2^32
    Host_.AddInfoLine(FormatText(kElapsedLine, FormatDuration(elapsed)), ikNormal);
  }
  if ((journal.Events & jeGains) != 0) {
    if (TempGain_ != -1) Host_.AddInfoLine(FormatText(kTempGainLine, FormatSize(TempGain_)), ikNormal);
    if (PersoGain_ != -1) Host_.AddInfoLine(FormatText(kPersoGainLine, FormatSize(PersoGain_)), ikNormal);
    if (TempGain_ != -1 && PersoGain_ != -1) {
      Host_.AddInfoLine(FormatText(kTotalLine, FormatSize(TempGain_ + PersoGain_)), ikNormal);
    }
  }
  if (journal.Enabled) {
    if (TPURLib* lib = Host_.Lib()) {
      lib->WriteReport(journal.Location + kJournalFileName, JoinLines(Host_.Journal()), journal.NewEachSearch);
    }
  }
  ReportRunEnded({Host_.Runner(), TempGain_, PersoGain_, Deleted_, NotDeleted_, testMode});
  Host_.StopAnimation();
  Host_.RunEnded();
}

}  // namespace pur
