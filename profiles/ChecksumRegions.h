// The optional profile keys of the checksum regions, up to four per profile:
// ChecksumKind<i>, ChecksumFrom<i>, ChecksumTo<i>, ChecksumAt<i>,
// ChecksumByteOrder<i> and ChecksumFill<i> for i = 1 to 4. A firmware that
// checks its own image gets its checksums computed anew after the serial
// number is stamped. The window neither shows nor compares these keys; the
// store keeps them beside the seventeen values, and a key that is absent
// from the file stays absent, so that a profile without them reads and
// writes exactly as before.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "image/ImageChecksum.h"
#include "platform/ini/IniFile.h"

namespace velmorin {

inline constexpr int kChecksumRegionCount = 4;

// One region's keys as the profile holds them, each absent or present.
struct ChecksumRegionKeys {
  // ChecksumKind<i>: a kind; or, with KindCleared, present but empty, which
  // is no region (and is written back as the empty value it was).
  std::optional<ChecksumKind> Kind;
  bool KindCleared = false;
  std::optional<std::uint32_t> From;
  std::optional<std::uint32_t> To;
  std::optional<std::uint32_t> At;
  std::optional<bool> MsbFirst;      // ChecksumByteOrder<i>: "lsb" (default) or "msb"
  std::optional<std::uint8_t> Fill;  // ChecksumFill<i>: default 0xFF

  bool operator==(const ChecksumRegionKeys&) const = default;
};

// A region in force, with the number (1 to 4) that messages name it by.
struct NumberedChecksumRegion {
  int Number = 1;
  ChecksumRegion Region;

  bool operator==(const NumberedChecksumRegion&) const = default;
};

struct ChecksumRegions {
  // Regions 1 to 4 at indices 0 to 3.
  std::array<ChecksumRegionKeys, kChecksumRegionCount> Keys;

  // The regions that have a kind, in order 1 to 4, defaults applied (lsb
  // first, fill 0xFF). A region whose kind is set must have its range and
  // its place: RequireValidChecksumRegions sees to that, and a region
  // without them is left out here.
  std::vector<NumberedChecksumRegion> InForce() const;

  bool operator==(const ChecksumRegions&) const = default;
};

// The bytes a switched-on serial slot stamps: Count bytes from Address up,
// addresses wrapping past 0xFFFFFFFF as stamping does.
struct SerialSlotBytes {
  int Slot = 1;  // 1 to 4
  std::uint32_t Address = 0;
  std::uint32_t Count = 0;
};

// An address or a fill as the keys take it: a number as `set` takes numbers
// (decimal, or hexadecimal after 0x, $ or x), the whole 32-bit range in
// decimal too; no sign, since an address below zero is a typing error rather
// than 0xFFFFFFFF. Nothing when the text is no such number.
std::optional<std::uint32_t> ParseChecksumNumber(std::string_view text);

// The 24 keys in the order they follow the others: region 1's six, then 2's, ...
const std::vector<std::string>& ChecksumRegionKeyNames();

// The stored spelling of one of the 24 keys (letter case ignored), or
// nullptr when `key` is none of them.
const std::string* ChecksumRegionKeyName(std::string_view key);

// The keys that are present, with their text, in key order. Addresses are
// written as eight hexadecimal digits after "0x" (0x0801FFFC) and the fill
// as two (0xFF), as firmware maps show them; both read back as any number
// does. A kind is written by its catalogue name, the byte order as lsb or msb.
std::vector<std::pair<std::string, std::string>> EncodeChecksumRegions(
    const ChecksumRegions& regions);

// The regions stored in `section`, each key checked alone. Raises
// EProfileValueError naming the key, its value and the profile:
//   Value "crc33" for ChecksumKind1 in the profile of <section> is no checksum
//   kind; the kinds are crc32, crc32c, ...
// for a kind not in the catalogue, an address that is no 32-bit number, a byte
// order neither lsb nor msb, or a fill that is no byte (above 0xFF).
ChecksumRegions DecodeChecksumRegions(const IniFile::Contents& ini, const std::string& section);

// Sets one of the 24 keys from its text. Raises EProfileValueError, leaving
// `regions` as it was, for a text DecodeChecksumRegions would refuse (the
// message without the profile's name).
void ApplyChecksumRegionKey(ChecksumRegions& regions, std::string_view key,
                            const std::string& text);

// Checks the regions against each other and against the serial slots that
// are switched on; raises EProfileValueError, naming the keys, for the first
// region (in order 1 to 4) that is refused:
//   - a kind without its range or its place (ChecksumFrom, ChecksumTo, ChecksumAt);
//   - a range that ends before it starts;
//   - a crc32-stm32 range whose length is no multiple of 4;
//   - a result whose bytes run past 0xFFFFFFFF;
//   - a result inside its own range;
//   - a result over a switched-on serial slot;
//   - a result over an earlier region's result, which it would overwrite;
//   - a range over a later region's result, which changes after this
//     region's checksum is computed (the inner region must have the lower
//     number).
void RequireValidChecksumRegions(const ChecksumRegions& regions,
                                 std::span<const SerialSlotBytes> switchedOnSlots);

}  // namespace velmorin
