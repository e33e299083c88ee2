// When the cleaning agent cleans by itself: a pure decision from the Service settings, the
// time of the last automatic cleaning, the time now and the free space of the watched drives.
// Times are seconds since 1970 (UTC), so a stored time survives restarts and time zones.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "SettingsValues.h"

namespace pur::agent {

// How often free space is looked at, and how soon a cleaning the lock held back is tried again.
inline constexpr int64_t kCheckPeriodSeconds = 5 * 60;
// A type that cleans by itself only on demand still wakes now and then; settings changes wake
// the agent at once anyway.
inline constexpr int64_t kIdleCheckSeconds = 60 * 60;

struct TScheduleInput {
  int32_t CleaningType = ctNone;
  int32_t EveryMinutes = 0;        // "Tous les "
  int64_t ThresholdBytes = 0;      // "Quand moins de "
  std::optional<int64_t> LastCleaning;
  int64_t Now = 0;
  std::vector<uint64_t> FreeBytes;  // of the watched drives that could be read
};

struct TScheduleDecision {
  bool Clean = false;
  int64_t NextCheck = 0;  // when to decide again, never before Now + 1
  bool operator==(const TScheduleDecision&) const = default;
};

TScheduleDecision DecideCleaning(const TScheduleInput& input);

// Type 2's condition: a watched drive has less free space than the threshold.
bool SpaceIsLow(const TScheduleInput& input);

// The interval in seconds: at least one minute, whatever another program stored.
int64_t IntervalSeconds(int32_t everyMinutes);

}  // namespace pur::agent
