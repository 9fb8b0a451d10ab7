// The catalogue of checksums that firmware computes over its own image: the
// CRCs by their parameters as the CRC RevEng catalogue defines them, and the
// plain sums. Each kind has a name (matched without regard to letter case)
// and a result width of 4, 2 or 1 bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velmorin {

enum class ChecksumKind : std::uint8_t {
  Crc32,
  Crc32c,
  Crc32Mpeg2,
  Crc32Stm32,
  Crc16CcittFalse,
  Crc16Xmodem,
  Crc16Kermit,
  Crc16Arc,
  Crc16Modbus,
  Crc8,
  Sum8,
  Sum16,
  Sum32,
  Sum8Neg,
  Sum16Neg,
  Xor8,
};

// A CRC in the catalogue's terms: the register is `Bits` wide, starts at
// `Init`, divides by `Poly` (its top term left out), takes each input byte
// lowest bit first when `RefIn`, is reversed at the end when `RefOut`, and
// is XORed with `XorOut`.
struct CrcParameters {
  unsigned Bits = 32;
  std::uint32_t Poly = 0;
  std::uint32_t Init = 0;
  bool RefIn = false;
  bool RefOut = false;
  std::uint32_t XorOut = 0;
  // The CRC of the ASCII bytes "123456789"; none for a kind that reads the
  // range in 32-bit words, since nine bytes are no whole number of words.
  std::optional<std::uint32_t> Check;
  const char* CatalogueName = "";  // "CRC-32/ISO-HDLC"
};

struct ChecksumKindInfo {
  ChecksumKind Kind;
  const char* Name;     // as the profile and the command line spell it: "crc32"
  std::uint32_t Width;  // bytes of the result: 4, 2 or 1
  // The CRC's parameters; none for the sums and the XOR.
  std::optional<CrcParameters> Crc;
  // The range is read as 32-bit little-endian words, each fed to the CRC
  // most significant byte first (the STM32 CRC unit fed words by the CPU):
  // the bytes of every group of four go in reversed.
  bool LittleEndianWords = false;
  const char* Description;  // one line for the catalogue's listing
};

// Every kind, in the order of the enumeration.
std::span<const ChecksumKindInfo> ChecksumCatalogue();

const ChecksumKindInfo& ChecksumKindInfoOf(ChecksumKind kind);

inline const char* ChecksumKindName(ChecksumKind kind) {
  return ChecksumKindInfoOf(kind).Name;
}

inline std::uint32_t ChecksumWidth(ChecksumKind kind) {
  return ChecksumKindInfoOf(kind).Width;
}

// The kind named `name` in any letter case, or nothing.
std::optional<ChecksumKind> FindChecksumKind(std::string_view name);

// "crc32, crc32c, ..., xor8", for messages that list what may be chosen.
std::string ChecksumKindNames();

}  // namespace velmorin
