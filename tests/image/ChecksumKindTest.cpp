// The catalogue's kinds against their definitions: the published check
// values, a bit-by-bit CRC from the parameters, and long runs and changed
// bytes against the same bytes fed one by one.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>

#include "image/ChecksumAccumulator.h"
#include "image/ChecksumKind.h"
#include "tests/image/ChecksumTestSupport.h"

namespace velmorin {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Accumulate(ChecksumKind kind, const Bytes& bytes) {
  ChecksumAccumulator accumulator(kind);
  accumulator.Update(bytes);
  return accumulator.Value();
}

const Bytes kCheckInput = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

// Each kind's value over "123456789": for the CRCs the CRC RevEng catalogue's
// check values; "123456789" sums to 477 (0x1DD) and XORs to 0x31.
TEST(ChecksumCatalogue, EachKindOverTheCheckInput) {
  const std::tuple<const char*, std::uint32_t, std::uint32_t> cases[] = {
      {"crc32", 4, 0xCBF43926},
      {"crc32c", 4, 0xE3069283},
      {"crc32-mpeg2", 4, 0x0376E6E7},
      {"crc16-ccitt-false", 2, 0x29B1},
      {"crc16-xmodem", 2, 0x31C3},
      {"crc16-kermit", 2, 0x2189},
      {"crc16-arc", 2, 0xBB3D},
      {"crc16-modbus", 2, 0x4B37},
      {"crc8", 1, 0xF4},
      {"sum8", 1, 0xDD},
      {"sum16", 2, 0x01DD},
      {"sum32", 4, 0x000001DD},
      {"sum8-neg", 1, 0x23},
      {"sum16-neg", 2, 0xFE23},
      {"xor8", 1, 0x31},
  };
  for (const auto& [name, width, check] : cases) {
    const std::optional<ChecksumKind> kind = FindChecksumKind(name);
    ASSERT_TRUE(kind) << name;
    const ChecksumKindInfo& info = ChecksumKindInfoOf(*kind);
    EXPECT_EQ(info.Width, width) << name;
    EXPECT_EQ(Accumulate(*kind, kCheckInput), check) << name;
    if (!info.Crc) continue;
    EXPECT_EQ(info.Crc->Check, check) << name;
    // The bit-by-bit definition from the listed parameters agrees too.
    EXPECT_EQ(test::BitwiseCrc(*info.Crc, kCheckInput), check) << name;
  }
  // The STM32 unit over the words "1234" "5678": CRC-32/MPEG-2 of "43218765".
  EXPECT_EQ(Accumulate(ChecksumKind::Crc32Stm32, {'1', '2', '3', '4', '5', '6', '7', '8'}),
            Accumulate(ChecksumKind::Crc32Mpeg2, {'4', '3', '2', '1', '8', '7', '6', '5'}));
}

TEST(ChecksumCatalogue, NamesMatchInAnyLetterCase) {
  EXPECT_EQ(FindChecksumKind("CRC32-STM32"), ChecksumKind::Crc32Stm32);
  EXPECT_EQ(FindChecksumKind("Sum16-Neg"), ChecksumKind::Sum16Neg);
  for (const char* unknown : {"crc33", "crc32 ", "", "crc16"}) {
    EXPECT_FALSE(FindChecksumKind(unknown)) << unknown;
  }
  for (const ChecksumKindInfo& info : ChecksumCatalogue()) {
    EXPECT_EQ(FindChecksumKind(info.Name), info.Kind);
  }
  EXPECT_EQ(ChecksumCatalogue().size(), 16u);
}

// Data and runs of fill fed in pieces must give what the plain definition
// gives over the same bytes laid out flat.
TEST(ChecksumAccumulator, PiecesAndRunsAgreeWithTheDefinition) {
  const Bytes data = test::RandomBytes(20000, 7);
  // Piece lengths, and runs between them, chosen to break words apart.
  const std::size_t pieces[] = {1, 3, 4, 5, 13, 256, 1001, 4096, 7, 2};
  const std::uint64_t runs[] = {0, 1, 2, 3, 4, 5, 255, 4097, 65536, 70001};
  for (const ChecksumKindInfo& info : ChecksumCatalogue()) {
    for (const std::uint8_t fill : {std::uint8_t{0xFF}, std::uint8_t{0x00}, std::uint8_t{0x5A}}) {
      ChecksumAccumulator accumulator(info.Kind);
      Bytes flat;
      std::size_t at = 0;
      for (std::size_t i = 0; i < std::size(pieces); ++i) {
        accumulator.Update({data.data() + at, pieces[i]});
        flat.insert(flat.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                    data.begin() + static_cast<std::ptrdiff_t>(at + pieces[i]));
        at += pieces[i];
        accumulator.UpdateRun(fill, runs[i]);
        flat.insert(flat.end(), runs[i], fill);
      }
      // Whole words for the word kind.
      while (flat.size() % 4 != 0) {
        accumulator.Update({data.data(), 1});
        flat.push_back(data[0]);
      }
      EXPECT_EQ(accumulator.Length(), flat.size());
      if (info.LittleEndianWords) {  // an unfinished word has no value
        ChecksumAccumulator unfinished = accumulator;
        unfinished.UpdateRun(fill, 3);
        EXPECT_THROW(unfinished.Value(), std::logic_error);
      }
      EXPECT_EQ(accumulator.Value(), test::ReferenceChecksum(info.Kind, flat))
          << info.Name << " fill " << int{fill};
    }
  }
}

// A few changed bytes adjust the old value to the new one, wherever they lie.
TEST(AdjustChecksum, EqualsTheChecksumOfTheChangedBytes) {
  const std::size_t length = 4096;
  const std::size_t offsets[] = {0, 1, 2, 3, 1000, 4092, 4093, 4094, 4095};
  for (const ChecksumKindInfo& info : ChecksumCatalogue()) {
    Bytes bytes = test::RandomBytes(length, 11);
    std::uint32_t value = test::ReferenceChecksum(info.Kind, bytes);
    std::mt19937 random(3);
    for (const std::size_t offset : offsets) {
      const auto newByte = static_cast<std::uint8_t>(random());
      value = AdjustChecksum(info.Kind, value, length, offset, bytes[offset], newByte);
      bytes[offset] = newByte;
      ASSERT_EQ(value, test::ReferenceChecksum(info.Kind, bytes))
          << info.Name << " at offset " << offset;
    }
    // An unchanged byte changes nothing.
    EXPECT_EQ(AdjustChecksum(info.Kind, value, length, 5, bytes[5], bytes[5]), value);
  }
}

}  // namespace
}  // namespace velmorin
