// The rules a serial number must pass before it is handed out, and the
// number that follows it. Every source of numbers applies them before it
// takes one: the INI file's Next SN today, and likewise a serial server,
// which in addition hands numbers out of its pool one by one and so must
// refuse a profile whose SeqNumStep is not 1.
#pragma once

#include <cstdint>

#include "profiles/ProfileSettings.h"
#include "profiles/SeqNumRules.h"

namespace velmorin {

// Raises ESeqNumRefused, before anything is taken or written, when `seqNum`
// may not be handed out under `settings` and `rules`:
// - it lies beyond LastSeqNum: "The serial numbers of this profile are used
//   up (last <n>)."; with "Auto Inc." that is also so when the step would
//   carry Next SN past 2147483647, since the wrap would start again below the
//   last number and hand out numbers a second time;
// - it has no form of SN Size in the profile's format while some slot is
//   switched on (SeqNumMisfit): "Serial number <n> does not fit in <size>
//   bytes." (or "characters").
void RequireSeqNumAvailable(std::int32_t seqNum, const ProfileSettings& settings,
                            const SeqNumRules& rules);

// Raises ESeqNumRefused, before anything is taken or written, when the bytes
// of a slot that is switched on run past the last address, 0xFFFFFFFF
// (PastTopAddress), where they would wrap to address 0: "Slot 1 at
// 0xFFFFFFFF with 2 bytes runs past the last address, 0xFFFFFFFF.". A slot
// spans SeqNumSlotBytes of the profile's format and SN Size (utf16: twice SN
// Size).
void RequireSlotsBelowTopAddress(const ProfileSettings& settings, const SeqNumRules& rules);

// The Next SN after `seqNum` under "Auto Inc.": `seqNum` + the step, in 32-bit
// arithmetic (2147483647 + 1 is -2147483648).
std::int32_t SeqNumAfter(std::int32_t seqNum, const SeqNumRules& rules);

}  // namespace velmorin
