// The optional profile keys of the checksum regions, up to four per profile:
// ChecksumKind<i>, ChecksumFrom<i>, ChecksumTo<i>, ChecksumAt<i>,
// ChecksumByteOrder<i> and ChecksumFill<i> for i = 1 to 4. A firmware that
// checks its own image gets its checksums computed anew after the serial
// number is stamped. They are one group of the optional keys
// (OptionalKeys.h), which keeps the rules every such key follows; a profile
// without them reads and writes exactly as before.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/ImageChecksum.h"
#include "profiles/ProfileKeys.h"
#include "profiles/ProfileSettings.h"
#include "profiles/SeqNumRules.h"

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

// The bytes a switched-on serial slot stamps: Count bytes from Address up,
// addresses wrapping past 0xFFFFFFFF as stamping does.
struct SerialSlotBytes {
  int Slot = 1;  // 1 to 4
  std::uint32_t Address = 0;
  std::uint32_t Count = 0;
};

// The bytes each switched-on serial slot stamps, in the profile's form.
std::vector<SerialSlotBytes> SwitchedOnSerialSlots(const ProfileSettings& settings,
                                                   const SeqNumRules& rules);

// The group of optional keys of the checksum regions (see OptionalKeys.h).
struct ChecksumRegions {
  // Regions 1 to 4 at indices 0 to 3.
  std::array<ChecksumRegionKeys, kChecksumRegionCount> Keys;

  // The regions that have a kind, in order 1 to 4, defaults applied (lsb
  // first, fill 0xFF). A region whose kind is set must have its range and
  // its place: RequireValidChecksumRegions sees to that, and a region
  // without them is left out here.
  std::vector<NumberedChecksumRegion> InForce() const;

  // The 24 keys, region 1's six, then 2's, ...
  static const std::vector<std::string>& KeyNames();
  // A kind not in the catalogue (an empty kind is no region), an address
  // that is no 32-bit number, a byte order neither lsb nor msb, or a fill
  // that is no byte (above 0xFF) is refused.
  std::string Read(const std::string& key, const std::string& text);
  // Addresses as eight hexadecimal digits after "0x" (0x0801FFFC) and the
  // fill as two (0xFF), as firmware maps show them; both read back as any
  // number does. A kind by its catalogue name, the byte order as lsb or msb.
  void Encode(ProfileKeyValues& values) const;
  // Addresses and the fill as numbers, the kind and the byte order as text.
  void Show(ShownValues& shown) const;

  // The rules that span several keys and the seventeen values: the regions
  // against each other and against the serial slots `settings` switches on
  // (RequireValidChecksumRegions).
  template <class KeySet>
  void RequireConsistent(const ProfileSettings& settings, const KeySet& keys) const;

  bool operator==(const ChecksumRegions&) const = default;
};

// An address or a fill as the keys take it: a number as `set` takes numbers
// (decimal, or hexadecimal after 0x, $ or x), the whole 32-bit range in
// decimal too; no sign, since an address below zero is a typing error rather
// than 0xFFFFFFFF. Nothing when the text is no such number.
std::optional<std::uint32_t> ParseChecksumNumber(std::string_view text);

// Checks the regions against each other and against the serial slots that
// are switched on; raises EProfileValueError, naming the keys, for the first
// region (in order 1 to 4) that is refused:
//   - a kind without its range or its place (ChecksumFrom, ChecksumTo, ChecksumAt);
//   - a range that ends before it starts;
//   - a crc32-stm32 range whose length is no multiple of 4;
//   - a result whose bytes run past 0xFFFFFFFF;
//   - a result inside its own range;
//   - a result over a switched-on serial slot;
//   - a result over an earlier region's result: one would overwrite the other;
//   - a result inside an earlier region's range: written after that region's
//     checksum is computed, it would make it wrong. The region whose range
//     covers another's result is the outer one and must come after it; the
//     message says which comes first, or, when each covers the other's
//     result, that no order makes both right.
// A region whose range covers an earlier region's result (inner before
// outer) is the order that works, and is taken.
void RequireValidChecksumRegions(const ChecksumRegions& regions,
                                 std::span<const SerialSlotBytes> switchedOnSlots);

template <class KeySet>
void ChecksumRegions::RequireConsistent(const ProfileSettings& settings, const KeySet& keys) const {
  RequireValidChecksumRegions(*this,
                              SwitchedOnSerialSlots(settings, keys.template Get<SeqNumRules>()));
}

}  // namespace velmorin
