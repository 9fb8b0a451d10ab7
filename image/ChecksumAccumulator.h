// One checksum of the catalogue, computed over a stream of bytes that comes
// in pieces: runs of data, and runs of one repeated byte (the fill of a hole
// the image holds no data for).
//
// A run of n equal bytes costs O(log n), not n: a CRC is an affine map of its
// register per input byte, so n bytes of one value are the map's n-th power,
// taken from precomputed squarings (the zero-extension trick of zlib's
// crc32_combine); a sum of the run is n times the byte. A hole of almost 4 GiB
// is therefore as cheap as a hole of 4 KiB. The data itself goes through
// zlib's CRC-32 for the kinds of its polynomial (crc32, and mirrored for
// crc32-mpeg2 and crc32-stm32), which are the ones firmware checks large
// images with and which zlib computes many bytes at a time, and through
// Boost.CRC's table-driven engines for the others.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "image/ChecksumKind.h"

namespace velmorin {

class ChecksumAccumulator {
 public:
  explicit ChecksumAccumulator(ChecksumKind kind);

  ChecksumKind Kind() const { return FKind; }
  // Bytes taken so far.
  std::uint64_t Length() const { return FLength; }

  void Update(std::span<const std::uint8_t> bytes);
  // `count` bytes of `value`.
  void UpdateRun(std::uint8_t value, std::uint64_t count);

  // The checksum of everything taken, in the kind's width. A kind that reads
  // 32-bit words needs a length that is a multiple of 4 (std::logic_error
  // otherwise: the region's settings are checked long before).
  std::uint32_t Value() const;

 private:
  // Feeds whole bytes to the kind's engine (for word kinds: already reversed).
  void Feed(const std::uint8_t* data, std::size_t size);
  void FeedRun(std::uint8_t value, std::uint64_t count);

  ChecksumKind FKind;
  bool FWords;
  std::uint64_t FLength = 0;
  // CRC: the engine's interim register; sums: the sum modulo 2^64; xor8: the XOR.
  std::uint64_t FState;
  // A word kind's bytes of an unfinished word.
  std::array<std::uint8_t, 4> FPending{};
  std::size_t FPendingCount = 0;
};

// The checksum over `length` bytes after the byte at `offset` (in range
// order) changes from `oldByte` to `newByte`, given `value`, the checksum
// before the change: a few changed bytes cost a few matrix products instead
// of the whole range. Every kind of the catalogue is linear (a CRC over GF(2),
// a sum over the integers modulo its width), so changes add up one by one.
std::uint32_t AdjustChecksum(ChecksumKind kind, std::uint32_t value, std::uint64_t length,
                             std::uint64_t offset, std::uint8_t oldByte, std::uint8_t newByte);

}  // namespace velmorin
