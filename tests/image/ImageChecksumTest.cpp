// Checksums over images: the bytes the lookup finds (overlapping, unordered
// and wrapping segments), holes as the fill, the extreme addresses, the
// result's bytes in both orders, and the texts messages show.
#include <gtest/gtest.h>

#include "image/HeldRuns.h"
#include "image/ImageChecksum.h"
#include "image/IntelImage.h"
#include "tests/image/ChecksumTestSupport.h"

namespace velmorin {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The bytes at from..to as GetByte finds them on a copy that may not grow,
// holes as `fill`.
Bytes Looked(TObjImage& image, std::uint32_t from, std::uint32_t to, std::uint8_t fill) {
  const bool fixed = image.FixedSize;
  image.FixedSize = true;
  Bytes bytes;
  for (std::uint64_t a = from; a <= to; ++a) {
    try {
      bytes.push_back(image.GetByte(static_cast<std::uint32_t>(a)));
    } catch (const EObjImageError&) {
      bytes.push_back(fill);
    }
  }
  image.FixedSize = fixed;
  return bytes;
}

struct SegmentCase {
  const char* name;
  std::vector<TImageSegment> segments;
  std::uint32_t from, to;
};

std::vector<SegmentCase> SegmentCases() {
  return {
      {"ascending", {{0x100, Bytes(16, 1)}, {0x120, Bytes(16, 2)}}, 0xF0, 0x13F},
      {"adjacent", {{0x100, Bytes(16, 1)}, {0x110, Bytes(16, 2)}}, 0x100, 0x11F},
      {"descending", {{0x120, Bytes(16, 2)}, {0x100, Bytes(16, 1)}}, 0xF0, 0x13F},
      // The later segment holds the bytes it shares with an earlier one.
      {"overlapping",
       {{0x100, Bytes(64, 1)}, {0x110, Bytes(8, 2)}, {0x10C, Bytes(8, 3)}},
       0x100,
       0x13F},
      {"covering", {{0x110, Bytes(8, 2)}, {0x100, Bytes(64, 1)}}, 0xFC, 0x143},
      // A segment past 0xFFFFFFFF goes on at 0.
      {"wrapping", {{0xFFFFFFF8, test::RandomBytes(16, 4)}, {0x4, Bytes(2, 9)}}, 0, 0xF},
      {"top", {{0xFFFFFFF8, test::RandomBytes(16, 4)}}, 0xFFFFFFF0, 0xFFFFFFFF},
      {"inside", {{0x100, test::RandomBytes(256, 5)}}, 0x180, 0x181},
  };
}

TEST(HeldRuns, AreTheBytesTheLookupFinds) {
  for (SegmentCase& c : SegmentCases()) {
    TIntelImage image;
    image.Segments = c.segments;
    // Two fills that no test byte has: each hole shows as both.
    for (const std::uint8_t fill : {std::uint8_t{0xEE}, std::uint8_t{0x77}}) {
      Bytes flat(RangeLength(c.from, c.to), fill);
      std::uint64_t last = c.from;
      for (const HeldRun& run : HeldRuns(image, c.from, std::uint64_t{c.to} + 1)) {
        ASSERT_GE(run.Begin, last) << c.name << ": runs out of order or overlapping";
        ASSERT_LT(run.Begin, run.End) << c.name;
        std::copy(run.Data, run.Data + (run.End - run.Begin),
                  flat.begin() + static_cast<std::ptrdiff_t>(run.Begin - c.from));
        last = run.End;
      }
      EXPECT_EQ(flat, Looked(image, c.from, c.to, fill)) << c.name;
    }
    EXPECT_EQ(image.Segments.size(), c.segments.size()) << c.name << ": the image was touched";
  }
}

TEST(ImageChecksum, HolesCountAsTheFill) {
  TIntelImage image;
  image.Segments.push_back({0x1000, test::RandomBytes(100, 1)});
  image.Segments.push_back({0x2000, test::RandomBytes(3, 2)});
  for (const std::uint8_t fill : {std::uint8_t{0xFF}, std::uint8_t{0x00}}) {
    for (const ChecksumKindInfo& info : ChecksumCatalogue()) {
      // From below the data to past it, a length of whole words.
      const Bytes flat = Looked(image, 0x0F00, 0x20FF, fill);
      EXPECT_EQ(ComputeChecksum(image, info.Kind, 0x0F00, 0x20FF, fill),
                test::ReferenceChecksum(info.Kind, flat))
          << info.Name << " fill " << int{fill};
    }
  }
  // The fill makes a difference where a hole is, and none where there isn't.
  EXPECT_NE(ComputeChecksum(image, ChecksumKind::Crc32, 0x1000, 0x1067, 0xFF),
            ComputeChecksum(image, ChecksumKind::Crc32, 0x1000, 0x1067, 0x00));
  EXPECT_EQ(ComputeChecksum(image, ChecksumKind::Crc32, 0x1000, 0x1063, 0xFF),
            ComputeChecksum(image, ChecksumKind::Crc32, 0x1000, 0x1063, 0x00));
}

TEST(ImageChecksum, RangesAtTheSmallestAndLargestAddresses) {
  TIntelImage image;
  image.Segments.push_back({0x00000000, test::RandomBytes(64, 1)});
  image.Segments.push_back({0xFFFFFFC0, test::RandomBytes(64, 2)});
  const std::pair<std::uint32_t, std::uint32_t> ranges[] = {
      {0x00000000, 0x0000007F},  // from 0, into a hole
      {0xFFFFFF80, 0xFFFFFFFF},  // a hole, then data up to the last address
      {0x00000000, 0x00000003},
      {0xFFFFFFFC, 0xFFFFFFFF},
  };
  for (const auto& [from, to] : ranges) {
    for (const ChecksumKindInfo& info : ChecksumCatalogue()) {
      EXPECT_EQ(ComputeChecksum(image, info.Kind, from, to, 0xFF),
                test::ReferenceChecksum(info.Kind, Looked(image, from, to, 0xFF)))
          << info.Name << " over " << RangeText(from, to);
    }
  }
  // One byte, at either end.
  EXPECT_EQ(ComputeChecksum(image, ChecksumKind::Sum8, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF),
            image.Segments[1].Data.back());
  EXPECT_EQ(ComputeChecksum(image, ChecksumKind::Xor8, 0, 0, 0xFF), image.Segments[0].Data[0]);
}

TEST(ImageChecksum, ResultBytesInBothOrdersAndHeldBytes) {
  struct Case {
    std::uint32_t value, width;
    Bytes lsb, msb;
  };
  const Case cases[] = {
      {0x1234ABCD, 4, {0xCD, 0xAB, 0x34, 0x12}, {0x12, 0x34, 0xAB, 0xCD}},
      {0x29B1, 2, {0xB1, 0x29}, {0x29, 0xB1}},
      {0xF4, 1, {0xF4}, {0xF4}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChecksumResultBytes(c.value, c.width, false), c.lsb);
    EXPECT_EQ(ChecksumResultBytes(c.value, c.width, true), c.msb);
    EXPECT_EQ(ChecksumFromBytes(c.lsb, false), c.value);
    EXPECT_EQ(ChecksumFromBytes(c.msb, true), c.value);
  }
  // Written lowest address first: below the data they make one new segment.
  TIntelImage image;
  image.Segments.push_back({0x8000, Bytes(4, 0)});
  ChecksumRegion region;
  region.At = 0x7FFC;
  region.MsbFirst = true;
  WriteChecksum(image, region, 0x1234ABCD);
  ASSERT_EQ(image.Segments.size(), 2u);
  EXPECT_EQ(image.Segments[0].Start, 0x7FFCu);
  EXPECT_EQ(image.Segments[0].Data, (Bytes{0x12, 0x34, 0xAB, 0xCD}));
  region.MsbFirst = false;
  region.At = 0x8000;
  WriteChecksum(image, region, 0x1234ABCD);
  EXPECT_EQ(image.Segments[1].Data, (Bytes{0xCD, 0xAB, 0x34, 0x12}));
  // A place is read only when all of its bytes are held; it may wrap to 0.
  TIntelImage wrapping;
  wrapping.Segments.push_back({0xFFFFFFFE, Bytes{5, 6, 7, 8}});
  EXPECT_EQ(HeldBytes(wrapping, 0xFFFFFFFE, 4), (Bytes{5, 6, 7, 8}));
  EXPECT_FALSE(HeldBytes(wrapping, 0xFFFFFFFD, 4));
  EXPECT_FALSE(HeldBytes(wrapping, 0x1, 2));
}

TEST(ImageChecksum, TextsOfAddressesAndValues) {
  // Four digits for an address of 16 bits, eight above; a value's width in digits.
  const std::pair<std::uint32_t, const char*> addresses[] = {
      {0, "0x0000"},           {0x7FFC, "0x7FFC"},         {0xFFFF, "0xFFFF"},
      {0x10000, "0x00010000"}, {0x0801FFFC, "0x0801FFFC"}, {0xFFFFFFFF, "0xFFFFFFFF"},
  };
  for (const auto& [address, text] : addresses) EXPECT_EQ(AddressText(address), text);
  EXPECT_EQ(ChecksumValueText(0x1234ABCD, 4), "0x1234ABCD");
  EXPECT_EQ(ChecksumValueText(0x0376, 4), "0x00000376");
  EXPECT_EQ(ChecksumValueText(0xF4, 2), "0x00F4");
  EXPECT_EQ(ChecksumValueText(0x5, 1), "0x05");
  EXPECT_EQ(RangeText(0, 0x7FFB), "0x0000-0x7FFB");
}

}  // namespace
}  // namespace velmorin
