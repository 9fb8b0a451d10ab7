// Helpers for the checksum tests: each kind computed the textbook way, bit by
// bit from its parameters and byte by byte for the sums, to hold Boost's
// tables, the folding of runs and the adjusting of changed bytes against;
// and a deterministic byte pattern.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "image/ChecksumKind.h"

namespace velmorin::test {

inline std::uint64_t Reflect(std::uint64_t value, unsigned bits) {
  std::uint64_t result = 0;
  for (unsigned i = 0; i < bits; ++i) {
    if (value & (std::uint64_t{1} << i)) result |= std::uint64_t{1} << (bits - 1 - i);
  }
  return result;
}

inline std::uint32_t BitwiseCrc(const CrcParameters& p, const std::vector<std::uint8_t>& data) {
  const std::uint64_t top = std::uint64_t{1} << (p.Bits - 1);
  const std::uint64_t mask = (std::uint64_t{1} << p.Bits) - 1;
  std::uint64_t reg = p.Init;
  for (const std::uint8_t byte : data) {
    const std::uint64_t in = p.RefIn ? Reflect(byte, 8) : byte;
    reg ^= in << (p.Bits - 8);
    for (int bit = 0; bit < 8; ++bit)
      reg = (reg & top) ? ((reg << 1) ^ p.Poly) & mask : (reg << 1) & mask;
  }
  if (p.RefOut) reg = Reflect(reg, p.Bits);
  return static_cast<std::uint32_t>((reg ^ p.XorOut) & mask);
}

// The checksum of `data` by the plain definition of `kind`.
inline std::uint32_t ReferenceChecksum(ChecksumKind kind, std::vector<std::uint8_t> data) {
  const ChecksumKindInfo& info = ChecksumKindInfoOf(kind);
  if (info.LittleEndianWords) {
    for (std::size_t i = 0; i + 4 <= data.size(); i += 4) {
      std::swap(data[i], data[i + 3]);
      std::swap(data[i + 1], data[i + 2]);
    }
  }
  if (info.Crc) return BitwiseCrc(*info.Crc, data);
  std::uint32_t sum = 0;
  std::uint32_t x = 0;
  for (const std::uint8_t byte : data) {
    sum += byte;
    x ^= byte;
  }
  switch (kind) {
    case ChecksumKind::Sum8:
      return sum & 0xFF;
    case ChecksumKind::Sum16:
      return sum & 0xFFFF;
    case ChecksumKind::Sum8Neg:
      return (0x100 - (sum & 0xFF)) & 0xFF;
    case ChecksumKind::Sum16Neg:
      return (0x10000 - (sum & 0xFFFF)) & 0xFFFF;
    case ChecksumKind::Xor8:
      return x;
    default:
      return sum;
  }
}

inline std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> bytes(count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

}  // namespace velmorin::test
