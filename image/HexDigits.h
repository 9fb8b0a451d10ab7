// Hexadecimal digits as the Intel HEX reader and writer need them: a table
// from character to value for reading, upper-case pairs for writing, and
// both a word at a time for whole records.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace velmorin::hex {

// Value of a hexadecimal digit (0-9, a-f, A-F), or -1 for any other character.
inline constexpr std::array<std::int8_t, 256> kDigitValue = [] {
  std::array<std::int8_t, 256> table{};
  table.fill(-1);
  for (int c = 0; c < 10; ++c) table['0' + c] = static_cast<std::int8_t>(c);
  for (int c = 0; c < 6; ++c) {
    table['a' + c] = static_cast<std::int8_t>(10 + c);
    table['A' + c] = static_cast<std::int8_t>(10 + c);
  }
  return table;
}();

inline constexpr char kUpperDigits[] = "0123456789ABCDEF";

// Byte b as two upper-case digits at kUpperPairs[2 * b].
inline constexpr std::array<char, 512> kUpperPairs = [] {
  std::array<char, 512> table{};
  for (int b = 0; b < 256; ++b) {
    table[2 * b] = kUpperDigits[b >> 4];
    table[2 * b + 1] = kUpperDigits[b & 0xF];
  }
  return table;
}();

// Writes byte `value` as two upper-case digits at `out`.
inline void PutPair(char* out, std::uint8_t value) {
  std::memcpy(out, &kUpperPairs[2 * value], 2);  // one 16-bit move
}

// The byte spelled by the two hexadecimal digits at `pair`; the caller has
// made sure both are digits.
inline std::uint8_t PairValue(const char* pair) {
  return static_cast<std::uint8_t>(kDigitValue[static_cast<unsigned char>(pair[0])] << 4 |
                                   kDigitValue[static_cast<unsigned char>(pair[1])]);
}

namespace detail {
inline constexpr std::uint64_t kEachByte = 0x0101010101010101u;

// Bytes of `x` (all below 0x80) that lie in [lo, hi] get their top bit set.
constexpr std::uint64_t InRange(std::uint64_t x, std::uint8_t lo, std::uint8_t hi) {
  return (x + (0x80 - lo) * kEachByte) & ~(x + (0x7F - hi) * kEachByte) & (0x80 * kEachByte);
}
}  // namespace detail

// Decodes `pairs` pairs of hexadecimal digits at `in` into bytes at `out`,
// and adds the bytes to `sum`; false when any character isn't a digit (the
// bytes and the sum are then meaningless).
// Eight characters are taken at a time in a 64-bit word: the digit test and
// the conversion are a few word operations instead of a table look-up each.
inline bool DecodePairs(const char* in, std::size_t pairs, std::uint8_t* out, unsigned& sum) {
  using detail::InRange;
  using detail::kEachByte;
  std::uint64_t bad = 0;
  std::size_t k = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; k + 4 <= pairs; k += 4, in += 8, out += 4) {
      std::uint64_t x;
      std::memcpy(&x, in, 8);
      const std::uint64_t ascii = ~x & 0x80 * kEachByte;   // bytes above 0x7F fail here
      const std::uint64_t letters = x | 0x20 * kEachByte;  // a-f and A-F alike
      bad |= ~(InRange(x, '0', '9') | (InRange(letters, 'a', 'f') & ascii)) & 0x80 * kEachByte;
      // A digit's value is its low four bits, plus 9 for a letter (bit 6 set).
      const std::uint64_t value = (x & 0x0F * kEachByte) + ((x >> 6) & kEachByte) * 9;
      // Each pair's high digit comes first in memory: join pairs, then pack.
      std::uint64_t joined = ((value << 4) | (value >> 8)) & 0x00FF00FF00FF00FFu;
      joined = (joined | joined >> 8) & 0x0000FFFF0000FFFFu;
      joined = (joined | joined >> 16) & 0xFFFFFFFFu;
      const auto four = static_cast<std::uint32_t>(joined);
      std::memcpy(out, &four, 4);
      const std::uint32_t halves = (four & 0x00FF00FFu) + (four >> 8 & 0x00FF00FFu);
      sum += (halves & 0xFFFFu) + (halves >> 16);
    }
  }
  int badDigit = 0;
  for (; k < pairs; ++k, in += 2, ++out) {
    const int high = kDigitValue[static_cast<unsigned char>(in[0])];
    const int low = kDigitValue[static_cast<unsigned char>(in[1])];
    badDigit |= high | low;
    *out = static_cast<std::uint8_t>(high << 4 | low);
    sum += *out;
  }
  return bad == 0 && badDigit >= 0;
}

// Writes `count` bytes at `in` as upper-case pairs at `out` (2 * count
// characters), four bytes to a 64-bit word.
inline void EncodeBytes(const std::uint8_t* in, std::size_t count, char* out) {
  using detail::kEachByte;
  std::size_t k = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; k + 4 <= count; k += 4, in += 4, out += 8) {
      std::uint32_t four;
      std::memcpy(&four, in, 4);
      // Spread the bytes into 16-bit lanes, then each nibble into a byte, the
      // high nibble first in memory.
      std::uint64_t x = four;
      x = (x | x << 16) & 0x0000FFFF0000FFFFu;
      x = (x | x << 8) & 0x00FF00FF00FF00FFu;
      const std::uint64_t nibbles =
          ((x >> 4) & 0x000F000F000F000Fu) | ((x & 0x000F000F000F000Fu) << 8);
      // '0' + n, and 7 more for n of 10 and above ('A' follows '9' + 7).
      const std::uint64_t letter = ((nibbles + 6 * kEachByte) >> 4) & kEachByte;
      const std::uint64_t chars = nibbles + '0' * kEachByte + letter * 7;
      std::memcpy(out, &chars, 8);
    }
  }
  for (; k < count; ++k, out += 2) PutPair(out, *in++);
}

// Appends `value` as `width` upper-case hexadecimal digits, most significant first.
inline void AppendHex(std::string& out, std::uint32_t value, int width) {
  for (int shift = (width - 1) * 4; shift >= 0; shift -= 4)
    out.push_back(kUpperDigits[(value >> shift) & 0xF]);
}

}  // namespace velmorin::hex
