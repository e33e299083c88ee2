// The agent's decision to clean by itself, for each type of cleaning and at the edges of the
// interval, the threshold and the stored time.
#include <gtest/gtest.h>

#include "AgentSchedule.h"

namespace pur::agent {
namespace {

constexpr int64_t kNow = 1'800'000'000;
constexpr int64_t kMinute = 60;
constexpr int64_t kMiB = 1 << 20;
constexpr int64_t kPeriod = kCheckPeriodSeconds;

struct Case {
  const char* what;
  TScheduleInput input;
  TScheduleDecision expected;
};

TScheduleInput Input(int32_t type, int32_t every, std::optional<int64_t> last,
                     std::vector<uint64_t> free = {}, int64_t threshold = 500 * kMiB) {
  TScheduleInput in;
  in.CleaningType = type;
  in.EveryMinutes = every;
  in.ThresholdBytes = threshold;
  in.LastCleaning = last;
  in.Now = kNow;
  in.FreeBytes = std::move(free);
  return in;
}

const uint64_t kLow = 500 * kMiB - 1;
const uint64_t kEnough = 500 * kMiB;

TEST(AgentSchedule, DecidesFromTypeIntervalLastTimeAndFreeSpace) {
  const Case cases[] = {
      {"type 0 never cleans by itself", Input(ctNone, 10, std::nullopt, {0}), {false, kNow + kIdleCheckSeconds}},
      {"an unknown type never cleans", Input(7, 10, std::nullopt, {0}), {false, kNow + kIdleCheckSeconds}},
      {"negative type never cleans", Input(-1, 10, std::nullopt, {0}), {false, kNow + kIdleCheckSeconds}},
      // Periodic.
      {"periodic, never cleaned: now", Input(ctPeriodic, 600, std::nullopt), {true, kNow + 600 * kMinute}},
      {"periodic, one second early", Input(ctPeriodic, 600, kNow - 600 * kMinute + 1), {false, kNow + 1}},
      {"periodic, exactly due", Input(ctPeriodic, 600, kNow - 600 * kMinute), {true, kNow + 600 * kMinute}},
      {"periodic, long overdue: one cleaning, not a burst", Input(ctPeriodic, 10, kNow - 100 * kMinute),
       {true, kNow + 10 * kMinute}},
      {"periodic, cleaned just now", Input(ctPeriodic, 10, kNow), {false, kNow + 10 * kMinute}},
      {"periodic ignores free space", Input(ctPeriodic, 10, kNow, {0}), {false, kNow + 10 * kMinute}},
      {"periodic, last time in the future counts as none", Input(ctPeriodic, 10, kNow + 1), {true, kNow + 10 * kMinute}},
      {"periodic, interval 0 is one minute", Input(ctPeriodic, 0, kNow - 59), {false, kNow + 1}},
      {"periodic, negative interval is one minute", Input(ctPeriodic, -5, kNow - 60), {true, kNow + 60}},
      {"periodic, the largest interval does not overflow", Input(ctPeriodic, INT32_MAX, kNow),
       {false, kNow + int64_t{INT32_MAX} * 60}},
      // Low free space.
      {"low space, never cleaned: now", Input(ctLowFreeSpace, 10, std::nullopt, {kEnough, kLow}), {true, kNow + kPeriod}},
      {"free space exactly the threshold is enough", Input(ctLowFreeSpace, 10, std::nullopt, {kEnough}),
       {false, kNow + kPeriod}},
      {"no drive could be read: nothing known, no cleaning", Input(ctLowFreeSpace, 10, std::nullopt, {}),
       {false, kNow + kPeriod}},
      {"low space but cleaned 3 minutes ago: wait for the interval", Input(ctLowFreeSpace, 10, kNow - 3 * kMinute, {0}),
       {false, kNow + kPeriod}},
      {"low space, the interval ends before the next look", Input(ctLowFreeSpace, 10, kNow - 8 * kMinute, {0}),
       {false, kNow + 2 * kMinute}},
      {"low space, interval over", Input(ctLowFreeSpace, 10, kNow - 10 * kMinute, {0}), {true, kNow + kPeriod}},
      {"enough space, long after the last cleaning", Input(ctLowFreeSpace, 10, kNow - 1000 * kMinute, {kEnough}),
       {false, kNow + kPeriod}},
      {"threshold 0 never counts as low", Input(ctLowFreeSpace, 10, std::nullopt, {0}, 0), {false, kNow + kPeriod}},
      {"negative threshold never counts as low", Input(ctLowFreeSpace, 10, std::nullopt, {0}, -1),
       {false, kNow + kPeriod}},
      {"drives above 2 GiB compare as 64-bit", Input(ctLowFreeSpace, 10, std::nullopt, {uint64_t{1} << 40}, 2047 * kMiB),
       {false, kNow + kPeriod}},
      {"low space, last time in the future counts as none", Input(ctLowFreeSpace, 10, kNow + 3600, {0}),
       {true, kNow + kPeriod}},
  };
  for (const Case& c : cases) {
    const TScheduleDecision got = DecideCleaning(c.input);
    EXPECT_EQ(got.Clean, c.expected.Clean) << c.what;
    EXPECT_EQ(got.NextCheck, c.expected.NextCheck) << c.what << ": " << got.NextCheck - kNow << " s from now";
    EXPECT_GT(got.NextCheck, kNow) << c.what;
  }
}

}  // namespace
}  // namespace pur::agent
