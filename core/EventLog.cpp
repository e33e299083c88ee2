#include "EventLog.h"

#include "PurgoEvents.h"
#include "uUserMainPrgm_Format.h"

namespace pur {

namespace {

std::wstring WideOf(const std::string& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

std::string JoinReasons(const std::vector<std::string>& reasons) {
  std::string joined;
  for (const std::string& reason : reasons) {
    if (!joined.empty()) joined += "\r\n";
    joined += reason;
  }
  return joined;
}

void Report(WORD type, DWORD eventId, const std::vector<std::string>& strings) noexcept {
  TEventLog log;
  log.Report(type, eventId, strings);
}

}  // namespace

TEventLog::TEventLog() : Source_(RegisterEventSourceW(nullptr, kEventSource)) {}

TEventLog::~TEventLog() {
  if (Source_) DeregisterEventSource(Source_);
}

bool TEventLog::Report(WORD type, DWORD eventId, const std::vector<std::string>& strings) noexcept {
  if (!Source_) return false;
  try {
    std::vector<std::wstring> wide;
    for (const std::string& text : strings) wide.push_back(WideOf(text));
    std::vector<LPCWSTR> pointers;
    for (const std::wstring& text : wide) pointers.push_back(text.c_str());
    return ReportEventW(Source_, type, 0, eventId, nullptr, static_cast<WORD>(pointers.size()), 0,
                        pointers.data(), nullptr) != 0;
  } catch (...) {
    return false;  // out of memory: the run goes on without its event
  }
}

std::vector<std::string> RunEndedStrings(const TRunSummary& run) {
  auto gain = [](int64_t bytes) { return bytes < 0 ? std::string(kStepNotRun) : FormatSize(bytes); };
  auto bytes = [](int64_t value) { return std::to_string(value < 0 ? 0 : value); };
  return {run.Runner,
          gain(run.TempGain),
          bytes(run.TempGain),
          gain(run.PersoGain),
          bytes(run.PersoGain),
          std::to_string(run.Deleted),
          std::to_string(run.NotDeleted),
          run.TestMode ? kYes : kNo};
}

void ReportRunEnded(const TRunSummary& run) noexcept {
  try {
    Report(EVENTLOG_INFORMATION_TYPE, MSG_RUN_ENDED, RunEndedStrings(run));
  } catch (...) {
  }
}

void ReportRunRefused(const char* runner, const std::string& refusal,
                      const std::vector<std::string>& reasons) noexcept {
  try {
    Report(EVENTLOG_ERROR_TYPE, MSG_RUN_REFUSED, {runner, refusal, JoinReasons(reasons)});
  } catch (...) {
  }
}

void ReportRunHeldBack(const char* runner, const std::string& why) noexcept {
  try {
    Report(EVENTLOG_WARNING_TYPE, MSG_RUN_HELD_BACK, {runner, why});
  } catch (...) {
  }
}

void ReportRunFailed(const char* runner, const std::string& why) noexcept {
  try {
    Report(EVENTLOG_ERROR_TYPE, MSG_RUN_FAILED, {runner, why});
  } catch (...) {
  }
}

}  // namespace pur
