// The user's limits on what any deleting step may take: a minimum age and the keep list.
// Windows-free: times are the system's file times, 100 ns ticks since 1601.
#pragma once

#include <cstdint>
#include <string_view>

#include "KeepList.h"

namespace pur {

inline constexpr uint64_t kFileTicksPerDay = 24ULL * 3600 * 10000000;
// Longer than any file has existed: a larger age would only overflow the arithmetic.
inline constexpr int32_t kMaxMinimumAgeDays = 3650000;

enum class TRuleVerdict { Delete, TooRecent, Kept };

// What the limits left in place during one cleaning.
struct TRuleCounts {
  int32_t TooRecent = 0;
  int32_t Kept = 0;
  void Count(TRuleVerdict verdict) {
    if (verdict == TRuleVerdict::TooRecent) ++TooRecent;
    if (verdict == TRuleVerdict::Kept) ++Kept;
  }
};

class TCleaningRules {
 public:
  TCleaningRules() = default;
  // A negative age is refused by the caller; a larger one than kMaxMinimumAgeDays is cut.
  TCleaningRules(int32_t minimumAgeDays, TKeepList keep);

  // Without limits every cleaning works as it always did.
  bool Active() const { return minimumAgeDays_ > 0 || !keep_.Empty(); }
  const TKeepList& Keep() const { return keep_; }

  // Old enough: last written at least the minimum age before `now`. A file written in the
  // future is too recent.
  bool OldEnough(uint64_t lastWrite, uint64_t now) const;
  // The keep list first: a kept file counts as kept whatever its age.
  TRuleVerdict Judge(std::string_view path, uint64_t lastWrite, uint64_t now) const;

 private:
  int32_t minimumAgeDays_ = 0;
  TKeepList keep_;
};

}  // namespace pur
