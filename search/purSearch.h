// The library's per-process object: it attaches the process to the state that every process
// using the library shares, keeps the exchange sections current with its monitor thread,
// registers the caller's name and publishes the search lists.
#pragma once

#include "Algo_Rech.h"
#include "CleaningRules.h"
#include "CommaText.h"
#include "LibraryCodes.h"
#include "ShareMemUtils.h"
#include "Synchronize.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace pur {

using TEndProc = void(__stdcall*)(uint8_t kind);

constexpr DWORD kMonitorPeriodMs = 500;
constexpr DWORD kReadyPollMs = 10;
// After a pass that a wake-up started, the next wake-up is heeded only this much later: a
// wake event that another process sets and leaves set must not make every monitor spin.
// Publishers poll and wake every kReadyPollMs, so they wait at most one gap more per step.
constexpr DWORD kWakeGapMs = 10;
// A monitor that has not let go of a view after this long belongs to a dead process.
constexpr DWORD kStaleViewMs = 6 * kMonitorPeriodMs;
// A leaving process lets the others' monitors take a section it alone holds for this long
// (a dead peer's stale load count must not hold every exit for long).
constexpr DWORD kHandOverViewMs = 3 * kMonitorPeriodMs;
// Our own monitor is alive; waiting longer than this for it means something is broken.
constexpr DWORD kOwnMonitorMs = 10 * kMonitorPeriodMs;
// Publications of other processes queue for at most this long.
constexpr DWORD kPublishQueueMs = 60000;
constexpr size_t kAppNameMax = 255;
constexpr size_t kDriveCapacity = 26;

// Raised when a publication cannot be completed; the text goes to the caller.
class EPublish : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TPURLib {
 public:
  // Initialisation; throws ESharedMem or EMutexCreate (the state section and the mutexes),
  // leaving nothing behind. A name that cannot be published is no failure.
  TPURLib(const std::string& appName, const std::string& productName);
  ~TPURLib();
  TPURLib(const TPURLib&) = delete;
  TPURLib& operator=(const TPURLib&) = delete;

  // Shared-state readers (no mutex) and writers (under PURMUTEX).
  int32_t LoadCount() const { return state_->LoadCount; }
  uint8_t Status() const { return state_->Status; }
  double Percent() const;
  bool StopRequested() const { return state_->StopRequested != 0; }
  void SetPercent(double value);
  void SetStatusBit(uint8_t bit, bool on);
  void SetStopRequested(bool value);

  // The advisory lock.
  bool LockLib(const char* owner);
  bool UnLockLib(const char* owner);
  bool IsLocked() const { return state_->LockOwner[0] != 0; }
  std::string LockOwner() const;

  // Application names; the length call takes the snapshot that the next text call copies,
  // so a publication in between cannot make the text longer than the caller's buffer.
  int32_t SnapshotAppNamesLength();
  std::string TakeAppNamesSnapshot();

  // Search lists: list index 0..2; the same snapshot rule as the names.
  std::string ListText(int index) const;
  int32_t SnapshotListLength(int index);
  std::string TakeListSnapshot(int index);
  void PublishLists(const StringList& l1, const StringList& l2, const StringList& l3);
  void PublishLists(const TPathList& l1, const StringList& l2, const StringList& l3);

  // The cleanings, on the caller's thread. A refused cleaning answers 0 without callback;
  // a failed one restores Status and Percent and raises for the failure channel.
  void EmptyRecycleBin();
  int32_t EmptyTempFolder();
  bool LoadPersoTree(const void* data, int32_t size);
  void RunPersoSearch();
  // The search's progress handler, on this thread: false once a stop was requested.
  bool SearchProgress(double value);
  int32_t DeleteOneFile(const std::string& path, bool toRecycleBin, bool allowReadOnlyHidden);

  // The user's limits for this process's cleanings: the minimum age in days and the keep
  // list's entries (one per line, in the caller's code page). Refused (false, nothing
  // changed) for a negative age or while a cleaning of this process runs.
  bool SetCleaningRules(int32_t minimumAgeDays, const std::string& keepLines);
  // What the limits left in place in this process's last temporary-folder cleaning or
  // personal search; nullopt for another code.
  std::optional<TRuleCounts> LeftByRules(int32_t cleaning) const;
  void CreateFileLog(const std::string& path, const std::string& appName, const std::string& body, bool newFile);

  void SetEndProc(TEndProc proc) { endProc_.store(proc); }
  void NotifyEnd(uint8_t kind);

  // Whether the monitor currently holds a view of each exchange section (tests, diagnostics).
  bool HoldsAppNamesView() const;
  bool HoldsListsView() const;
  const TSharedState& State() const { return *state_; }

 private:
  struct Exchange {
    const char* name;
    int32_t TSharedState::*size;
    int32_t TSharedState::*views;
    std::unique_ptr<TSharedMem> view;  // the monitor's view; guarded by viewsLock_
  };

  template <class F>
  void Write(F&& change);
  void AddToCounter(int32_t TSharedState::*counter, int32_t delta);

  // Why the monitor's wait ended.
  enum class TMonitorCall { Stop, Period, Wake };

  void MonitorLoop();
  void StopMonitor();
  void MonitorPass();
  void RefreshView(Exchange& x);
  void ReleaseViews();
  TMonitorCall WaitStopOrWake(TMonitorCall last) const;

  void RegisterAppName(const std::string& name, const std::string& product);
  // Writes a section's bytes in place, once its size is known.
  using SectionWriter = std::function<void(char* out)>;
  void Publish(Exchange& x, const std::string& content);
  void Publish(Exchange& x, size_t size, const SectionWriter& write);
  void PublishUnderQueue(Exchange& x, size_t size, const SectionWriter& write);
  void WaitViewCurrent(const Exchange& x);
  void WaitReady();
  bool Holds(const Exchange& x) const;
  // Polls `done`, waking every monitor before each look, for at most limitMs.
  template <class Pred>
  bool WaitWakingMonitors(Pred done, DWORD limitMs);
  // The names' section as it is shared: UTF-8, whatever each registrant's code page.
  std::string ReadAppNames() const;
  StringList ReadSharedAppNames() const;
  // The names in this process's ANSI code page.
  StringList CallerAppNames() const;
  std::array<std::string, kListCount> ReadLists() const;

  std::unique_ptr<TSharedMem> sharedView_;
  std::unique_ptr<TMutex> mutex_;
  std::unique_ptr<TMutex> publishMutex_;
  TSharedState* state_ = nullptr;
  bool counted_ = false;

  mutable std::mutex viewsLock_;
  Exchange appNames_{kAppNamesName, &TSharedState::AppNamesSize, &TSharedState::AppNamesViews, nullptr};
  Exchange lists_{kListsName, &TSharedState::ListsSize, &TSharedState::ListsViews, nullptr};

  std::mutex snapshotLock_;
  std::optional<std::string> appNamesSnapshot_;
  std::array<std::optional<std::string>, kListCount> listSnapshots_;

  std::unique_ptr<TSyncWindow> sync_;  // hands search progress to the initialising thread
  std::unique_ptr<TRAPosteDeTravail> persoTree_;
  std::shared_ptr<const TCleaningRules> Rules() const;
  mutable std::mutex rulesLock_;
  std::shared_ptr<const TCleaningRules> rules_ = std::make_shared<TCleaningRules>();
  std::atomic<int32_t> cleaningsRunning_{0};
  TRuleCounts leftInTemp_;    // guarded by rulesLock_
  TRuleCounts leftBySearch_;  // guarded by rulesLock_

  std::atomic<bool> ready_{false};
  std::atomic<TEndProc> endProc_{nullptr};
  TWakeEvent wake_{kWakeEventName};
  // Closed after the destructor has joined the monitor that waits on it.
  THandle stopEvent_;
  std::thread monitor_;
};

}  // namespace pur
