#include "serialize/SeqNumTaking.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include "serialize/SeqNumForm.h"

namespace velmorin {

void RequireSeqNumAvailable(std::int32_t seqNum, const ProfileSettings& settings,
                            const SeqNumRules& rules) {
  if (rules.Last) {
    const std::int64_t after = std::int64_t{seqNum} + rules.StepOrDefault();
    const bool wraps = settings.AutoIncSeq && after > std::numeric_limits<std::int32_t>::max();
    if (seqNum > *rules.Last || wraps) {
      throw ESeqNumRefused("The serial numbers of this profile are used up (last " +
                           std::to_string(*rules.Last) + ").");
    }
  }
  const bool stamped = std::any_of(settings.SetSeqNumOfs.begin(), settings.SetSeqNumOfs.end(),
                                   [](bool on) { return on; });
  if (!stamped) return;
  if (auto misfit = SeqNumMisfit(seqNum, rules.FormatOrDefault(), settings.SeqNumSize)) {
    throw ESeqNumRefused(std::move(*misfit));
  }
}

void RequireSlotsBelowTopAddress(const ProfileSettings& settings, const SeqNumRules& rules) {
  const std::uint32_t bytes = SeqNumSlotBytes(rules.FormatOrDefault(), settings.SeqNumSize);
  for (std::size_t i = 0; i < settings.SetSeqNumOfs.size(); ++i) {
    if (!settings.SetSeqNumOfs[i]) continue;
    const auto address = static_cast<std::uint32_t>(settings.SeqNumOfs[i]);
    if (auto past = PastTopAddress("Slot " + std::to_string(i + 1), address, bytes)) {
      throw ESeqNumRefused(std::move(*past));
    }
  }
}

std::int32_t SeqNumAfter(std::int32_t seqNum, const SeqNumRules& rules) {
  const auto next =
      static_cast<std::uint32_t>(seqNum) + static_cast<std::uint32_t>(rules.StepOrDefault());
  return static_cast<std::int32_t>(next);
}

}  // namespace velmorin
