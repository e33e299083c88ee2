// The cleaning run: the three steps, the end of each step, the deletion of the found files,
// the summary and the journal. It talks to the window that hosts it only through TRunHost.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "LibraryClass.h"
#include "PURGORegistry.h"

namespace pur {

enum TInfoKind : int { ikNormal = 0, ikSuccess = 1, ikWarning = 2, ikError = 3 };

// The journal's event bit that lets a line of this kind into the journal.
uint8_t JournalBitOf(TInfoKind kind);

// The log line that counts what the user's limits left in one step.
std::string LeftByRulesLine(const char* step, int32_t tooRecent, int32_t kept);

// What a run asks of its window. The binding and the settings may go while the run waits for
// messages: they are asked for again each time.
class TRunHost {
 public:
  virtual TPURLib* Lib() = 0;
  virtual TPURGORegistry* Settings() = 0;
  virtual std::vector<std::string>& Journal() = 0;
  // False once the user stopped the run (the window went back to idle).
  virtual bool Running() const = 0;
  virtual void AddInfoLine(const std::string& text, TInfoKind kind) = 0;
  virtual void SetStatus(const char* text) = 0;
  virtual void Animate(int resourceId) = 0;
  virtual void StopAnimation() = 0;
  virtual void ProcessMessages() = 0;
  // What may be deleted of the found files: the host shows them to the user when the settings
  // ask for a confirmation, and leaves in the list only what may go.
  virtual void ReviewFoundFiles(std::vector<std::string>& names) = 0;
  // After the summary: the window may start its next automatic step.
  virtual void RunEnded() = 0;
  // Who runs, as the run's event names it: kRunnerProgram, kRunnerAutoMode or kRunnerAgent.
  virtual const char* Runner() const = 0;

 protected:
  ~TRunHost() = default;
};

class TCleaningRun {
 public:
  explicit TCleaningRun(TRunHost& host) : Host_(host) {}

  // The steps the settings enable, one after the other; the search's end arrives through
  // StepFinished while the last step waits in the library.
  void Run();
  // The library's end callback.
  void StepFinished(uint8_t kind);
  // The user's stop. The library drops a stop asked before its search begins, so the run
  // itself keeps it and does not begin the search.
  void Stop() { StopAsked_ = true; }
  // Between two steps the library is idle while the run is still on the stack.
  bool Starting() const { return Starting_; }
  // The bytes the last run freed, as its summary counts them.
  int64_t Gain() const { return (TempGain_ > 0 ? TempGain_ : 0) + (PersoGain_ > 0 ? PersoGain_ : 0); }

 private:
  void PersoSearchFinished();
  void SearchStoppedBeforeItBegan();
  void DeleteFoundFiles(const std::vector<std::string>& names);
  void LogListItems(int32_t list, TInfoKind kind);
  void LogLeftByRules(int32_t cleaning, const char* step);
  void WriteSummary();

  TRunHost& Host_;
  bool Starting_ = false;
  bool StopAsked_ = false;
  uint32_t StartTick_ = 0;
  int64_t TempGain_ = 0;
  int64_t PersoGain_ = 0;
  int32_t Deleted_ = 0;
  int32_t NotDeleted_ = 0;
};

}  // namespace pur
