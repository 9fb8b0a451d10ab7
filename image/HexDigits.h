// Hexadecimal digits as the Intel HEX reader and writer need them: a table
// from character to value for reading, upper-case pairs for writing.
#pragma once

#include <array>
#include <cstdint>
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

// Value of two hexadecimal digits c1 c2 at kPairValue[c1 << 8 | c2], or -1
// when either isn't a digit: one look-up per byte when reading a record.
inline const std::array<std::int16_t, 65536> kPairValue = [] {
  std::array<std::int16_t, 65536> table{};
  for (int c1 = 0; c1 < 256; ++c1) {
    for (int c2 = 0; c2 < 256; ++c2) {
      const int high = kDigitValue[c1];
      const int low = kDigitValue[c2];
      table[c1 << 8 | c2] = static_cast<std::int16_t>(high < 0 || low < 0 ? -1 : high << 4 | low);
    }
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
  out[0] = kUpperPairs[2 * value];
  out[1] = kUpperPairs[2 * value + 1];
}

// The byte spelled by the two hexadecimal digits at `pair`; the caller has
// made sure both are digits.
inline std::uint8_t PairValue(const char* pair) {
  return static_cast<std::uint8_t>(kDigitValue[static_cast<unsigned char>(pair[0])] << 4 |
                                   kDigitValue[static_cast<unsigned char>(pair[1])]);
}

// Appends `value` as `width` upper-case hexadecimal digits, most significant first.
inline void AppendHex(std::string& out, std::uint32_t value, int width) {
  for (int shift = (width - 1) * 4; shift >= 0; shift -= 4)
    out.push_back(kUpperDigits[(value >> shift) & 0xF]);
}

}  // namespace velmorin::hex
