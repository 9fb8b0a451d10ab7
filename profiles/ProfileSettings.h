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

// The order of a serial number's bytes in the image. A profile whose stored
// ByteOrder is neither 0 nor 1 has none chosen (the window's list then shows
// no entry); its bytes go most significant first, and a store writes -1.
enum class SerialByteOrder { MsbFirst, LsbFirst, Unchosen };

struct ProfileSettings {
  std::int32_t NextSeqNum = 0;
  bool AutoIncSeq = true;
  std::int32_t SeqNumSize = 2;
  // Slots 1 to 4 at indices 0 to 3.
  std::array<bool, 4> SetSeqNumOfs{true, false, false, false};
  std::array<std::int32_t, 4> SeqNumOfs{0, 0, 0, 0};
  SerialByteOrder ByteOrder = SerialByteOrder::MsbFirst;
  std::string BurnerCmdLine;
  bool DontBurn = true;
  bool HideBurner = false;
  std::string OutputFolder = ".";
  bool DontSave = false;

  bool operator==(const ProfileSettings&) const = default;
};

}  // namespace velmorin
