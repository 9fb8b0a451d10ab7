// A checksum over an address range of an image, and its result written into
// the image: what a firmware that checks itself computes at start, done here
// so that a stamped image still passes that check.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "image/ChecksumKind.h"
#include "image/HeldRuns.h"
#include "image/ObjImage.h"

namespace velmorin {

// One region: the kind computed over From to To (both included), the result
// written at At in the kind's width, least significant byte first unless
// MsbFirst; addresses the image holds no data for count as Fill.
struct ChecksumRegion {
  ChecksumKind Kind = ChecksumKind::Crc32;
  std::uint32_t From = 0;
  std::uint32_t To = 0;
  std::uint32_t At = 0;
  bool MsbFirst = false;
  std::uint8_t Fill = 0xFF;

  bool operator==(const ChecksumRegion&) const = default;
};

// A range a checksum cannot be computed over: one that ends before it
// starts, or a word kind's range whose length is no multiple of 4.
class EChecksumRangeError : public Exception {
 public:
  using Exception::Exception;
};

// The range's length in bytes (up to 2^32).
inline std::uint64_t RangeLength(std::uint32_t from, std::uint32_t to) {
  return std::uint64_t{to} - from + 1;
}

// Raises EChecksumRangeError when `kind` can't be computed over from..to:
//   "The range 0x1000-0x0FFF ends before it starts."
//   "crc32-stm32 reads 32-bit words, but 0x0000-0x0006 holds 7 bytes, no multiple of 4."
void RequireChecksumRange(ChecksumKind kind, std::uint32_t from, std::uint32_t to);

// The checksum of the image's bytes from `from` to `to`, holes as `fill`.
// Reads the segments without touching the image. Raises EChecksumRangeError
// (RequireChecksumRange).
std::uint32_t ComputeChecksum(const TObjImage& image, ChecksumKind kind, std::uint32_t from,
                              std::uint32_t to, std::uint8_t fill);
inline std::uint32_t ComputeChecksum(const TObjImage& image, const ChecksumRegion& region) {
  return ComputeChecksum(image, region.Kind, region.From, region.To, region.Fill);
}
// The same over the held runs of from..to that HeldRuns gave; the range
// must be one RequireChecksumRange takes.
std::uint32_t ComputeChecksum(const std::vector<HeldRun>& runs, ChecksumKind kind,
                              std::uint32_t from, std::uint32_t to, std::uint8_t fill);

// The result's bytes from its lowest address up: `width` bytes of `value`.
std::vector<std::uint8_t> ChecksumResultBytes(std::uint32_t value, std::uint32_t width,
                                              bool msbFirst);

// The value that `bytes` (lowest address first) spell in that byte order.
std::uint32_t ChecksumFromBytes(const std::vector<std::uint8_t>& bytes, bool msbFirst);

// Writes the result at region.At through SetByte, lowest address first, so
// that a result where the image has no data grows it as one segment.
// Addresses wrap past 0xFFFFFFFF as stamping does (a profile refuses a
// result that would).
void WriteChecksum(TObjImage& image, const ChecksumRegion& region, std::uint32_t value);

// The `count` bytes the image holds from `at` up, or nothing when it lacks
// any of them. The image is not touched.
std::optional<std::vector<std::uint8_t>> HeldBytes(const TObjImage& image, std::uint32_t at,
                                                   std::uint32_t count);

// How messages show addresses and values: upper-case hexadecimal after
// "0x". An address takes four digits when it fits in 16 bits and eight
// otherwise (0x7FFC, 0x0000, 0x0801FFFC, 0x0001FFFC), as Intel HEX addresses
// are 16 bits, or 32 with their extension; a value takes exactly its kind's
// width, two digits a byte (0x1234ABCD for a crc32, 0x00F4 for a crc16), so
// that the leading zeros of a checksum are seen.
std::string AddressText(std::uint32_t address);
std::string ChecksumValueText(std::uint32_t value, std::uint32_t width);
// "0x0000-0x7FFB".
std::string RangeText(std::uint32_t from, std::uint32_t to);

}  // namespace velmorin
