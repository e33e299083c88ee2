// Events of the runs in the Application log, under the source that the setup program and the
// MSI package register (texts in PURGOWIN.exe's message table). Administrators collect them
// from many machines; the journal stays the user's own record. Writing an event never fails a
// run: a source nobody registered, or a system without the service, is passed over quietly.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pur {

inline constexpr wchar_t kEventSource[] = L"Purgo for Windows";

// Who ran: insert %1 of every event.
inline constexpr char kRunnerProgram[] = "programme";
inline constexpr char kRunnerAutoMode[] = "/S";
inline constexpr char kRunnerAgent[] = "agent";

inline constexpr char kStepNotRun[] = "non effectué";
inline constexpr char kYes[] = "oui";
inline constexpr char kNo[] = "non";

// One registration of the source for the object's life.
class TEventLog {
 public:
  TEventLog();
  ~TEventLog();
  TEventLog(const TEventLog&) = delete;
  TEventLog& operator=(const TEventLog&) = delete;

  // UTF-8 strings, the process's own code page. False when the event was not written.
  bool Report(WORD type, DWORD eventId, const std::vector<std::string>& strings) noexcept;

 private:
  HANDLE Source_ = nullptr;
};

struct TRunSummary {
  const char* Runner;
  int64_t TempGain;   // -1: the step did not run
  int64_t PersoGain;  // -1: the step did not run
  int32_t Deleted;
  int32_t NotDeleted;
  bool TestMode;
};

// The inserts of the end-of-run event, in the message's order.
std::vector<std::string> RunEndedStrings(const TRunSummary& run);

void ReportRunEnded(const TRunSummary& run) noexcept;
// A run that did not clean because the settings (or the rights) forbid it: an error.
void ReportRunRefused(const char* runner, const std::string& refusal,
                      const std::vector<std::string>& reasons) noexcept;
// A run put off until later (another copy holds the library, the options to confirm): a warning.
void ReportRunHeldBack(const char* runner, const std::string& why) noexcept;
// A run that a failure ended: an error.
void ReportRunFailed(const char* runner, const std::string& why) noexcept;

}  // namespace pur
