#include "CleaningRules.h"

#include <algorithm>
#include <utility>

namespace pur {

TCleaningRules::TCleaningRules(int32_t minimumAgeDays, TKeepList keep)
    : minimumAgeDays_(std::clamp(minimumAgeDays, 0, kMaxMinimumAgeDays)), keep_(std::move(keep)) {}

bool TCleaningRules::OldEnough(uint64_t lastWrite, uint64_t now) const {
  if (minimumAgeDays_ == 0) return true;
  if (lastWrite > now) return false;
  return now - lastWrite >= static_cast<uint64_t>(minimumAgeDays_) * kFileTicksPerDay;
}

TRuleVerdict TCleaningRules::Judge(std::string_view path, uint64_t lastWrite, uint64_t now) const {
  if (keep_.KeepsFile(path)) return TRuleVerdict::Kept;
  if (!OldEnough(lastWrite, now)) return TRuleVerdict::TooRecent;
  return TRuleVerdict::Delete;
}

}  // namespace pur
