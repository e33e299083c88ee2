// One cleaning of the agent: the steps of an unattended run of the program, with the user's
// settings, under the agent's own identity. It never deletes what would need a confirmation:
// those files are only counted.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EventLog.h"
#include "LibraryClass.h"
#include "PURGORegistry.h"
#include "uUserMainPrgm_Run.h"

namespace pur::agent {

inline constexpr char kAgentNameFormat[] = "PURSRV-%3d";
// The time of the agent's last cleaning (REG_QWORD, seconds since 1970 UTC), beside the
// Service settings, so that a restart does not reset the clock.
inline constexpr char kLastCleaningValue[] = "Dernier nettoyage automatique";
// "Suspendre" (REG_DWORD 1), written by the agent beside them, so that a restart stays paused.
inline constexpr char kPausedValue[] = "Nettoyage automatique suspendu";

// Seconds since 1970, UTC.
int64_t NowSeconds();
// The time of the last cleaning kept in the settings; none when it was never stored.
std::optional<int64_t> ReadLastCleaning(HKEY root, const std::string& serviceKey);
void WriteLastCleaning(HKEY root, const std::string& serviceKey, int64_t when);

struct TCleaningOutcome {
  // Each kind is also the exit code of "PURGOSRV /once", for administrators' scripts.
  enum TKind : int {
    kCleaned = 0,     // the steps ran
    kFailed = 1,      // settings or library unusable, or a step failed
    kLocked = 3,      // another copy holds the library's lock: nothing was cleaned
    kNotChecked = 4,  // the options were never confirmed: nothing was cleaned
    // Only for a run the agent starts by itself (never "/once"): the settings read at its start
    // do not ask for it (no consent, type 0, or no start with the session): nothing was cleaned.
    kNotWanted = 7,
  };
  TKind Kind = kFailed;
  int64_t Gain = 0;
  int32_t Waiting = 0;     // found files left for the user's confirmation
  std::string Detail;      // the lock's owner, or the error
};

// Whether the settings let the agent clean by itself: options confirmed, "Démarrer le service
// automatiquement" ticked, a type that cleans by itself, and the user's recorded consent.
bool AutomaticCleaningWanted(const TPURGORegistry& settings);

// True when the process runs with an elevation the user's own session does not have (a full
// token split from a limited one): the agent then cleans nothing.
bool RunsElevated();

class TAgentCleaning : private TRunHost {
 public:
  // libraryPath: the search library's full path; empty is the one beside the agent.
  explicit TAgentCleaning(std::string libraryPath = {}) : LibraryPath_(std::move(libraryPath)) {}

  // noteIfLocked: a cleaning the lock holds back says so in the journal. automatic: decided by
  // the agent itself, so it runs only if the settings it loads now still ask for it.
  TCleaningOutcome Run(bool noteIfLocked, bool automatic = false);
  // Writes one line to the journal when its settings can be read and it takes errors.
  void NoteError(const std::string& line);
  // From a message handled while the run waits: the run ends as soon as the library lets it.
  void Stop();
  bool Busy() const { return Busy_; }
  // Told each step's status text (the agent shows it in its tooltip).
  std::function<void(const char*)> OnStatus;
  // Called each time the run lets messages through, so that the agent sees settings changes.
  std::function<void()> OnMessages;

 private:
  TCleaningOutcome RunSteps(bool noteIfLocked, bool automatic);
  void NoteLocked(const std::string& owner);
  void NoteUnreadable();

  TPURLib* Lib() override { return Lib_.get(); }
  TPURGORegistry* Settings() override { return Settings_.get(); }
  std::vector<std::string>& Journal() override { return Journal_; }
  bool Running() const override { return !Stopped_; }
  void AddInfoLine(const std::string& text, TInfoKind kind) override;
  void SetStatus(const char* text) override;
  void Animate(int) override {}
  void StopAnimation() override {}
  void ProcessMessages() override;
  void ReviewFoundFiles(std::vector<std::string>& names) override;
  void RunEnded() override {}
  const char* Runner() const override { return kRunnerAgent; }

  std::string LibraryPath_;
  std::unique_ptr<TPURGORegistry> Settings_;
  std::unique_ptr<TPURLib> Lib_;
  std::vector<std::string> Journal_;
  TCleaningRun Run_{*this};
  int32_t Waiting_ = 0;
  bool Stopped_ = false;
  bool Busy_ = false;
  bool Announced_ = false;
};

// What the agent tells the user after a cleaning.
std::string NoticeOf(const TCleaningOutcome& outcome);

}  // namespace pur::agent
