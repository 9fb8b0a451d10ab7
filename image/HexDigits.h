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

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VELMORIN_HEX_SSE2 1
#endif

namespace velmorin::hex {

// Value of a hexadecimal digit (0-9, a-f, A-F), or -1 for any other character.
inline constexpr std::array<std::int8_t, 256> kDigitValue = [] {
  std::array<std::int8_t, 256> table{};
  table.fill(-1);
  for (std::size_t c = 0; c < 10; ++c) table['0' + c] = static_cast<std::int8_t>(c);
  for (std::size_t c = 0; c < 6; ++c) {
    table['a' + c] = static_cast<std::int8_t>(10 + c);
    table['A' + c] = static_cast<std::int8_t>(10 + c);
  }
  return table;
}();

inline constexpr char kUpperDigits[] = "0123456789ABCDEF";

// Byte b as two upper-case digits at kUpperPairs[2 * b].
inline constexpr std::array<char, 512> kUpperPairs = [] {
  std::array<char, 512> table{};
  for (std::size_t b = 0; b < 256; ++b) {
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
// Sixteen characters are taken at a time in a vector register where there is
// one, then eight in a 64-bit word: the digit test and the conversion are a
// few operations on all of them instead of a table look-up each.
inline bool DecodePairs(const char* in, std::size_t pairs, std::uint8_t* out, unsigned& sum) {
  using detail::InRange;
  using detail::kEachByte;
  std::uint64_t bad = 0;
  std::size_t k = 0;
#ifdef VELMORIN_HEX_SSE2
  // Sixteen characters at a time: the same tests and conversion lane by
  // lane, with the sum taken by a sum of absolute differences from zero. The
  // last sixteen may overlap those before them; the pairs taken twice are
  // kept out of the sum the second time.
  if (pairs >= 8) {
    const __m128i zero = _mm_setzero_si128();
    __m128i allGood = _mm_set1_epi8(-1);
    __m128i sums = zero;
    auto decode16 = [&](const char* from, std::uint8_t* to, __m128i keep) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
      // Signed compares: a byte above 0x7F is negative and passes neither test.
      const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8('0' - 1)),
                                          _mm_cmplt_epi8(x, _mm_set1_epi8('9' + 1)));
      const __m128i lower = _mm_or_si128(x, _mm_set1_epi8(0x20));
      const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                           _mm_cmplt_epi8(lower, _mm_set1_epi8('f' + 1)));
      allGood = _mm_and_si128(allGood, _mm_or_si128(digit, letter));
      const __m128i value = _mm_add_epi8(_mm_and_si128(x, _mm_set1_epi8(0x0F)),
                                         _mm_and_si128(letter, _mm_set1_epi8(9)));
      // A 16-bit lane holds a pair, its high digit in the low byte.
      const __m128i joined = _mm_and_si128(
          _mm_or_si128(_mm_slli_epi16(value, 4), _mm_srli_epi16(value, 8)), _mm_set1_epi16(0x00FF));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm_packus_epi16(joined, joined));
      sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_and_si128(joined, keep), zero));
    };
    const __m128i all = _mm_set1_epi8(-1);
    for (; k + 8 <= pairs; k += 8, in += 16, out += 8) decode16(in, out, all);
    if (const std::size_t left = pairs - k) {
      alignas(16) static constexpr std::uint8_t kLastLanes[32] = {
          0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
          0,    0,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
      const __m128i keep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kLastLanes + 2 * left));
      decode16(in + 2 * left - 16, out + left - 8, keep);
      k = pairs;
    }
    if (_mm_movemask_epi8(allGood) != 0xFFFF) bad = 1;
    sum += static_cast<unsigned>(_mm_cvtsi128_si32(sums)) +
           static_cast<unsigned>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
  }
#endif
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
// characters), sixteen or four bytes at a time; returns the bytes' sum.
inline unsigned EncodeBytes(const std::uint8_t* in, std::size_t count, char* out) {
  using detail::kEachByte;
  std::size_t k = 0;
  unsigned sum = 0;
#ifdef VELMORIN_HEX_SSE2
  for (; k + 16 <= count; k += 16, in += 16, out += 32) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i sums = _mm_sad_epu8(bytes, _mm_setzero_si128());
    sum += static_cast<unsigned>(_mm_cvtsi128_si32(sums)) +
           static_cast<unsigned>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
    const __m128i mask = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), mask);
    const __m128i low = _mm_and_si128(bytes, mask);
    // '0' + n, and 7 more for n of 10 and above ('A' follows '9' + 7).
    auto spell = [](__m128i nibbles) {
      const __m128i letter =
          _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8(7));
      return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letter);
    };
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), spell(_mm_unpacklo_epi8(high, low)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), spell(_mm_unpackhi_epi8(high, low)));
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    for (; k + 4 <= count; k += 4, in += 4, out += 8) {
      std::uint32_t four;
      std::memcpy(&four, in, 4);
      const std::uint32_t halves = (four & 0x00FF00FFu) + (four >> 8 & 0x00FF00FFu);
      sum += (halves & 0xFFFFu) + (halves >> 16);
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
  for (; k < count; ++k, out += 2) {
    sum += *in;
    PutPair(out, *in++);
  }
  return sum;
}

// Appends `value` as `width` upper-case hexadecimal digits, most significant first.
inline void AppendHex(std::string& out, std::uint32_t value, int width) {
  for (int shift = (width - 1) * 4; shift >= 0; shift -= 4)
    out.push_back(kUpperDigits[(value >> shift) & 0xF]);
}

}  // namespace velmorin::hex
