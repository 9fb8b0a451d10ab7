#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "image/HexDigits.h"

namespace velmorin {
namespace {

// Every character in every place of two vectors and a word: the digit test
// that takes many characters at once must agree with the character table,
// whichever lane a character lands in and whatever its neighbours are (a byte above 0x7F must not
// carry its verdict into the next).
TEST(HexDigits, DecodePairsTellsDigitsFromOtherCharactersInEveryPlace) {
  const std::string good = "0123456789abcdefABCDEF0a9Ff0e1D2c3B4a596";
  for (std::size_t c = 0; c < 256; ++c) {
    const bool isDigit = hex::kDigitValue[c] >= 0;
    for (std::size_t place = 0; place < good.size(); ++place) {
      for (const char neighbour : {'0', 'F', '\xFF'}) {
        std::string text = good;
        text[place] = static_cast<char>(c);
        if (place + 1 < text.size() && neighbour != '0') text[place + 1] = neighbour;
        const bool allDigits =
            isDigit && (neighbour == '0' || place + 1 == text.size() ||
                        hex::kDigitValue[static_cast<unsigned char>(neighbour)] >= 0);
        std::uint8_t out[24];
        unsigned sum = 0;
        ASSERT_EQ(hex::DecodePairs(text.data(), text.size() / 2, out, sum), allDigits)
            << "character " << c << " at " << place << " next to " << int(neighbour);
      }
    }
  }
}

// Every byte value through the encoder and back, in runs of every length
// from 0 to 37 (whole vectors, words, tails, and all of them) at every lane.
TEST(HexDigits, EncodeAndDecodeAgreeWithTheTableForEveryByteAndLength) {
  for (std::size_t length = 0; length <= 37; ++length) {
    for (std::size_t first = 0; first < 256; ++first) {
      std::vector<std::uint8_t> bytes(length);
      for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(first + 37 * i);
      std::string text(2 * length, '?');
      const unsigned encodedSum = hex::EncodeBytes(bytes.data(), length, text.data());
      std::string expected;
      unsigned byteSum = 0;
      for (const std::uint8_t b : bytes) {
        expected += "0123456789ABCDEF"[b >> 4];
        expected += "0123456789ABCDEF"[b & 0xF];
        byteSum += b;
      }
      ASSERT_EQ(text, expected) << "length " << length << " first " << first;
      ASSERT_EQ(encodedSum, byteSum) << "length " << length << " first " << first;
      std::string lower = text;
      for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      for (const std::string& spelled : {text, lower}) {
        std::vector<std::uint8_t> back(length);
        unsigned sum = 7;
        ASSERT_TRUE(hex::DecodePairs(spelled.data(), length, back.data(), sum));
        ASSERT_EQ(back, bytes) << spelled;
        EXPECT_EQ(sum, 7 + byteSum) << spelled;
      }
    }
  }
}

}  // namespace
}  // namespace velmorin
