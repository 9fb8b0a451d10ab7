// Writing a serial number's bytes into an image, and the output file name
// that carries the number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/Exceptions.h"
#include "image/ObjImage.h"
#include "profiles/ProfileSettings.h"

namespace velmorin {

// Raised, before any byte is written, for an SN Size above kMaxSeqNumSize.
class ESeqNumSizeError : public Exception {
 public:
  explicit ESeqNumSizeError(std::int32_t size);
};

// Writes `width` bytes of the 32-bit pattern of `seqNum` (zero bytes beyond
// the fourth, no sign extension) from `address` upwards, addresses wrapping
// past 0xFFFFFFFF. LSB first writes byte 0 at `address` and goes up; MSB first
// writes byte 0 at the highest address and goes down. One SetByte per byte, in
// that order, since the image grows in the order new addresses arrive. A width
// of 0 or below writes nothing; above kMaxSeqNumSize raises ESeqNumSizeError.
void StampSerialBytes(TObjImage& image, std::int32_t seqNum, std::int32_t width,
                      std::uint32_t address, bool lsbFirst);

// "<stem of the skeleton file>_<seqNum in decimal>.hex".
std::string OutputFileName(std::string_view skelFile, std::int32_t seqNum);

}  // namespace velmorin
