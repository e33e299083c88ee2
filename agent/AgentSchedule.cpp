#include "AgentSchedule.h"

#include <algorithm>

namespace pur::agent {

int64_t IntervalSeconds(int32_t everyMinutes) { return std::max<int64_t>(everyMinutes, 1) * 60; }

namespace {

// A last time after now cannot be trusted (the clock went back, or the value is not ours):
// it counts as no cleaning at all, so the schedule cannot stall until that date.
std::optional<int64_t> TrustedLast(const TScheduleInput& input) {
  if (input.LastCleaning && *input.LastCleaning <= input.Now) return input.LastCleaning;
  return std::nullopt;
}

TScheduleDecision Periodic(const TScheduleInput& input, int64_t interval) {
  const std::optional<int64_t> last = TrustedLast(input);
  if (!last || input.Now - *last >= interval) return {true, input.Now + interval};
  return {false, *last + interval};
}

TScheduleDecision LowFreeSpace(const TScheduleInput& input, int64_t interval) {
  const int64_t nextLook = input.Now + kCheckPeriodSeconds;
  if (!SpaceIsLow(input)) return {false, nextLook};
  const std::optional<int64_t> last = TrustedLast(input);
  if (!last || input.Now - *last >= interval) return {true, nextLook};
  return {false, std::min(nextLook, *last + interval)};
}

}  // namespace

bool SpaceIsLow(const TScheduleInput& input) {
  if (input.ThresholdBytes <= 0) return false;
  const uint64_t threshold = static_cast<uint64_t>(input.ThresholdBytes);
  return std::any_of(input.FreeBytes.begin(), input.FreeBytes.end(),
                     [threshold](uint64_t free) { return free < threshold; });
}

TScheduleDecision DecideCleaning(const TScheduleInput& input) {
  const int64_t interval = IntervalSeconds(input.EveryMinutes);
  switch (input.CleaningType) {
    case ctPeriodic: return Periodic(input, interval);
    case ctLowFreeSpace: return LowFreeSpace(input, interval);
    default: return {false, input.Now + kIdleCheckSeconds};
  }
}

}  // namespace pur::agent
