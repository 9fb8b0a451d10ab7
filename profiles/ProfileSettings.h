// The seventeen values of one profile, as the window shows them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace velmorin {

// The widest serial number we stamp, in bytes (SN Size 10000 hex). Wider
// settings are surely a typing error, and a width of millions would write
// millions of bytes one at a time while the window stands frozen.
inline constexpr std::int32_t kMaxSeqNumSize = 0x10000;

struct ProfileSettings {
  std::int32_t NextSeqNum = 0;
  bool AutoIncSeq = true;
  std::int32_t SeqNumSize = 2;
  // Slots 1 to 4 at indices 0 to 3.
  std::array<bool, 4> SetSeqNumOfs{true, false, false, false};
  std::array<std::int32_t, 4> SeqNumOfs{0, 0, 0, 0};
  // Selected entry of the byte-order list: 0 MSB first, 1 LSB first, -1 none.
  std::int32_t ByteOrder = 0;
  std::string BurnerCmdLine;
  bool DontBurn = true;
  bool HideBurner = false;
  std::string OutputFolder = ".";
  bool DontSave = false;

  bool operator==(const ProfileSettings&) const = default;
};

}  // namespace velmorin
