// The catalogue's entries as constants, so that the Boost.CRC engines are made
// from the very parameters the catalogue lists (ChecksumAccumulator.cpp).
// Only the image library's own sources include it; everyone else asks
// ChecksumKind.h.
#pragma once

#include <array>
#include <cstddef>

#include "image/ChecksumKind.h"

namespace velmorin::detail {

inline constexpr std::array<ChecksumKindInfo, 16> kChecksumCatalogue{{
    {ChecksumKind::Crc32, "crc32", 4,
     CrcParameters{32, 0x04C11DB7, 0xFFFFFFFF, true, true, 0xFFFFFFFF, 0xCBF43926,
                   "CRC-32/ISO-HDLC"},
     false, "CRC-32 as zlib and Ethernet compute it"},
    {ChecksumKind::Crc32c, "crc32c", 4,
     CrcParameters{32, 0x1EDC6F41, 0xFFFFFFFF, true, true, 0xFFFFFFFF, 0xE3069283, "CRC-32/ISCSI"},
     false, "CRC-32C (Castagnoli)"},
    {ChecksumKind::Crc32Mpeg2, "crc32-mpeg2", 4,
     CrcParameters{32, 0x04C11DB7, 0xFFFFFFFF, false, false, 0x00000000, 0x0376E6E7,
                   "CRC-32/MPEG-2"},
     false, "CRC-32/MPEG-2 over the bytes"},
    {ChecksumKind::Crc32Stm32, "crc32-stm32", 4,
     CrcParameters{32, 0x04C11DB7, 0xFFFFFFFF, false, false, 0x00000000, std::nullopt,
                   "CRC-32/MPEG-2"},
     true,
     "the STM32 CRC unit at reset: CRC-32/MPEG-2 over 32-bit little-endian words; "
     "the range's length a multiple of 4"},
    {ChecksumKind::Crc16CcittFalse, "crc16-ccitt-false", 2,
     CrcParameters{16, 0x1021, 0xFFFF, false, false, 0x0000, 0x29B1, "CRC-16/IBM-3740"}, false,
     "CRC-16/CCITT-FALSE"},
    {ChecksumKind::Crc16Xmodem, "crc16-xmodem", 2,
     CrcParameters{16, 0x1021, 0x0000, false, false, 0x0000, 0x31C3, "CRC-16/XMODEM"}, false,
     "CRC-16/XMODEM"},
    {ChecksumKind::Crc16Kermit, "crc16-kermit", 2,
     CrcParameters{16, 0x1021, 0x0000, true, true, 0x0000, 0x2189, "CRC-16/KERMIT"}, false,
     "CRC-16/KERMIT"},
    {ChecksumKind::Crc16Arc, "crc16-arc", 2,
     CrcParameters{16, 0x8005, 0x0000, true, true, 0x0000, 0xBB3D, "CRC-16/ARC"}, false,
     "CRC-16/ARC"},
    {ChecksumKind::Crc16Modbus, "crc16-modbus", 2,
     CrcParameters{16, 0x8005, 0xFFFF, true, true, 0x0000, 0x4B37, "CRC-16/MODBUS"}, false,
     "CRC-16/MODBUS"},
    {ChecksumKind::Crc8, "crc8", 1,
     CrcParameters{8, 0x07, 0x00, false, false, 0x00, 0xF4, "CRC-8/SMBUS"}, false, "CRC-8/SMBUS"},
    {ChecksumKind::Sum8, "sum8", 1, std::nullopt, false, "the sum of the range's bytes modulo 2^8"},
    {ChecksumKind::Sum16, "sum16", 2, std::nullopt, false,
     "the sum of the range's bytes modulo 2^16"},
    {ChecksumKind::Sum32, "sum32", 4, std::nullopt, false,
     "the sum of the range's bytes modulo 2^32"},
    {ChecksumKind::Sum8Neg, "sum8-neg", 1, std::nullopt, false,
     "the two's complement of sum8: range plus result sum to 0"},
    {ChecksumKind::Sum16Neg, "sum16-neg", 2, std::nullopt, false,
     "the two's complement of sum16: range plus result sum to 0"},
    {ChecksumKind::Xor8, "xor8", 1, std::nullopt, false, "the XOR of the range's bytes"},
}};

// The table is indexed by the enumeration.
inline constexpr bool kCatalogueInOrder = [] {
  for (std::size_t i = 0; i < kChecksumCatalogue.size(); ++i) {
    if (static_cast<std::size_t>(kChecksumCatalogue[i].Kind) != i) return false;
  }
  return true;
}();
static_assert(kCatalogueInOrder, "the catalogue must list the kinds in enumeration order");

inline constexpr const CrcParameters& CrcOf(ChecksumKind kind) {
  return *kChecksumCatalogue[static_cast<std::size_t>(kind)].Crc;
}

}  // namespace velmorin::detail
