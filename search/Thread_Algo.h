// The search thread: runs one personal search over a search-capable tree on a thread of its
// own and hands each progress report to the library's main thread, asking whether to go on.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

#include "Algo_Rech.h"
#include "Synchronize.h"
#include "WinOwners.h"

namespace pur {

constexpr int kSearchErrorCode = 1001;
constexpr char kErrorFormat[] = "Erreur %d: %s";
constexpr char kUnknownErrorMessage[] = "Unknown exception";

// Progress reaches the main thread at most this often (the last report always does): each
// hand-over costs a round trip through its message queue, and a search makes one report per
// folder.
constexpr std::chrono::milliseconds kProgressHandOverPeriod{30};

// Priority levels 0..6: idle, lowest, below normal, normal, above normal, highest, time-critical.
constexpr int kPriorityIdle = 0;
constexpr int kPriorityNormal = 3;
constexpr int kPriorityTimeCritical = 6;

// "Erreur 1001: message"
std::string FormatSearchError(int code, const std::string& message);

class TSearchThread {
 public:
  // The thread is created suspended; nothing runs before Start. `tree` and `found` are not
  // owned and must outlive the run; progress reports go to `sync`'s owner thread.
  TSearchThread(TRAPosteDeTravail& tree, TPathList& found, int priority, TSyncWindow& sync);
  // Waits for a started run to end; a thread that was never started ends without running.
  virtual ~TSearchThread();
  TSearchThread(const TSearchThread&) = delete;
  TSearchThread& operator=(const TSearchThread&) = delete;

  // Runs on the search thread: hands the report to the main thread and answers its verdict.
  // A report that comes less than kProgressHandOverPeriod after the last hand-over is kept
  // back and answered with the last verdict; the last report is handed over when the search
  // ends, so the handler sees the final value.
  virtual bool HandleProgress(double progress);
  // Gives the tree's computer this thread's HandleProgress as its callback (an empty
  // handler gives it an empty one); the same handler again changes nothing.
  virtual void SetProgressHandler(const TSearchProgressEvent& handler);
  void SetProgressHandler(std::function<bool(double)> handler);
  virtual std::string GetTreeText() const;

  // Resumes the thread (once).
  void Start();
  // Waits for the end of the run while running the calls handed to this thread.
  void WaitFor();

  // Receives one error line when the search fails; not owned, may be none.
  StringList* Errors = nullptr;
  // Holds back the found files the user's limits keep; none: every match is reported.
  TFoundFileFilter* Filter = nullptr;

 protected:
  virtual void Execute();

 private:
  using Clock = std::chrono::steady_clock;

  static unsigned __stdcall ThreadMain(void* self);
  void HandOver();
  void DoProgress();

  TRAPosteDeTravail& tree_;
  TPathList& found_;
  TSyncWindow& sync_;
  TSearchProgressEvent progressHandler_;
  double lastProgress_ = 0.0;
  bool continueSearch_ = true;
  bool reportKeptBack_ = false;
  Clock::time_point lastHandOver_{};
  bool handedOver_ = false;
  THandle handle_;  // closed after the destructor has waited for the thread
  bool started_ = false;
  bool cancelled_ = false;  // set before resuming a thread that must not run
};

}  // namespace pur
