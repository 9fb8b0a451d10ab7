// A serial number in the form firmware reads it: its bytes as the profile's
// SeqNumFormat lays them out in a slot, whether the number fits the slot at
// all, and the writing of those bytes into an image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/Exceptions.h"
#include "image/ObjImage.h"
#include "profiles/SeqNumRules.h"

namespace velmorin {

// A number refused before it is taken: it does not fit its slot, or the
// profile's numbers are used up. The number stays unused.
class ESeqNumRefused : public Exception {
 public:
  using Exception::Exception;
};

// The top of the 32-bit address space. Bytes written past it would wrap to
// address 0 and overwrite what lies there (a reset vector, say), so no run of
// bytes the road writes may cross it: a slot's bytes, and any other result
// the road writes into the image (a checksum, say).
inline constexpr std::uint32_t kTopAddress = 0xFFFFFFFF;

// "<what> at 0x<address> with <count> bytes runs past the last address,
// 0xFFFFFFFF." when `count` bytes from `address` up run past kTopAddress;
// nothing when they fit (also for no bytes at all). `what` names the run for
// the operator: "Slot 2".
std::optional<std::string> PastTopAddress(const std::string& what, std::uint32_t address,
                                          std::uint64_t count);

// "Serial number <n> does not fit in <size> bytes." (or "characters" for the
// text forms) when `seqNum` has no form of that size in `format`, which would
// make two numbers stamp the same bytes; nothing when it fits. A size of 0 or
// below writes nothing, and so refuses nothing.
//   binary:    a size below 4 holds only 0 to 256^size - 1;
//   bcd:       0 to 10^(2 size) - 1;
//   ascii, utf16: 0 to 10^size - 1;
//   ascii-hex: the 32-bit pattern's hexadecimal digits, as many as `size`
//              (so, as in binary, a negative number needs 8 of them).
std::optional<std::string> SeqNumMisfit(std::int32_t seqNum, SeqNumFormat format,
                                        std::int32_t size);

// The slot's bytes, from its lowest address up. The byte order applies to the
// byte forms only; the text forms put their first character at the lowest
// address, and utf16 is little-endian by its name. The number must fit
// (SeqNumMisfit); binary keeps the low bytes of one that doesn't, as the plain
// stamping does. Raises ESeqNumSizeError for a size above kMaxSeqNumSize.
std::string SeqNumFormBytes(std::int32_t seqNum, SeqNumFormat format, std::int32_t size,
                            bool lsbFirst);

// Writes the slot's bytes into `image` at `address` (addresses wrap past
// 0xFFFFFFFF; the road refuses such a slot first, PastTopAddress). Binary goes through
// StampSerialBytes unchanged; bcd writes its bytes in the same order as binary (the least
// significant first), the text forms from the first character up. A size of 0 or below writes
// nothing.
void StampSeqNumForm(TObjImage& image, std::int32_t seqNum, SeqNumFormat format, std::int32_t size,
                     std::uint32_t address, bool lsbFirst);

}  // namespace velmorin
