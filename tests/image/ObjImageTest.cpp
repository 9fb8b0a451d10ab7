#include <gtest/gtest.h>

#include <utility>

#include "image/IntelImage.h"
#include "tests/image/HexTestSupport.h"

namespace velmorin {
namespace {

using test::Segment;
using Layout = std::vector<std::pair<std::uint32_t, std::size_t>>;  // start, length

Layout LayoutOf(const TObjImage& image) {
  Layout layout;
  for (const auto& s : image.Segments) layout.emplace_back(s.Start, s.Data.size());
  return layout;
}

TIntelImage ImageOf(std::vector<TImageSegment> segments) {
  TIntelImage image;
  image.Segments = std::move(segments);
  return image;
}

std::vector<std::uint8_t> Fill(std::size_t n, std::uint8_t value) {
  return std::vector<std::uint8_t>(n, value);
}

struct GrowthCase {
  const char* name;
  std::vector<TImageSegment> before;
  std::vector<std::uint32_t> writes;  // SetByte(address, 0xA5) in this order
  Layout after;
  friend void PrintTo(const GrowthCase& c, std::ostream* os) { *os << c.name; }
};

class Growth : public testing::TestWithParam<GrowthCase> {};

TEST_P(Growth, ShapesSegmentsAsDescribed) {
  const GrowthCase& c = GetParam();
  TIntelImage image = ImageOf(c.before);
  const test::ByteMap old = test::BytesOf(image);
  for (std::uint32_t address : c.writes) image.SetByte(address, 0xA5);
  EXPECT_EQ(LayoutOf(image), c.after);
  const test::ByteMap now = test::BytesOf(image);
  for (std::uint32_t address : c.writes) EXPECT_EQ(now.at(address), 0xA5) << address;
  // Bytes that were there keep their values; bytes added in gaps are zeros.
  for (const auto& [address, value] : now) {
    bool written = false;
    for (std::uint32_t a : c.writes) written |= a == address;
    if (written) continue;
    const auto it = old.find(address);
    EXPECT_EQ(value, it == old.end() ? 0 : it->second) << std::hex << address;
  }
}

INSTANTIATE_TEST_SUITE_P(
    LocateByte, Growth,
    testing::Values(
        GrowthCase{"PastTheEnd", {Segment(0, Fill(0x1000, 1))}, {0x1000}, {{0, 0x1001}}},
        GrowthCase{
            "FarPastTheEndFillsZeros", {Segment(0, Fill(0x1000, 1))}, {0x7FF0}, {{0, 0x7FF1}}},
        GrowthCase{"IntoAGapStretchesTheLowerSegment",
                   {Segment(0, Fill(0x100, 1)), Segment(0x8000, Fill(0x100, 2))},
                   {0x4000},
                   {{0, 0x4001}, {0x8000, 0x100}}},
        GrowthCase{"UpToTheNextSegmentStaysTwoSegments",
                   {Segment(0, Fill(0x100, 1)), Segment(0x8000, Fill(0x100, 2))},
                   {0x7FFF},
                   {{0, 0x8000}, {0x8000, 0x100}}},
        GrowthCase{"DownwardWritesMakeSeparateFrontSegments",
                   {Segment(0x8000, Fill(4, 1))},
                   {0x7FFF, 0x7FFE, 0x7FFD, 0x7FFC},
                   {{0x7FFC, 1}, {0x7FFD, 1}, {0x7FFE, 1}, {0x7FFF, 1}, {0x8000, 4}}},
        GrowthCase{"UpwardWritesBelowTheImageMakeOneSegment",
                   {Segment(0x8000, Fill(4, 1))},
                   {0x7FFC, 0x7FFD, 0x7FFE, 0x7FFF},
                   {{0x7FFC, 4}, {0x8000, 4}}},
        GrowthCase{
            "BelowTheFirstOfThree",
            {Segment(0x100, Fill(2, 1)), Segment(0x200, Fill(2, 2)), Segment(0x300, Fill(2, 3))},
            {0x10},
            {{0x10, 1}, {0x100, 2}, {0x200, 2}, {0x300, 2}}},
        GrowthCase{
            "WithinStoredBytesChangesNoShape", {Segment(0x10, Fill(8, 1))}, {0x17}, {{0x10, 8}}},
        GrowthCase{"NearTheTopOfTheAddressSpace",
                   {Segment(0xFFFFFF00, Fill(0x10, 1))},
                   {0xFFFFFFFF},
                   {{0xFFFFFF00, 0x100}}}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(LocateByte, EmptyImageFailsFirstWhateverFixedSizeSays) {
  for (bool fixedSize : {false, true}) {
    TIntelImage image;
    image.FixedSize = fixedSize;
    try {
      image.SetByte(0, 1);
      FAIL() << "no error";
    } catch (const EObjImageError& e) {
      EXPECT_EQ(e.Message(), "Image is empty");
    }
    try {
      image.GetByte(0x1234);
      FAIL() << "no error";
    } catch (const EObjImageError& e) {
      EXPECT_EQ(e.Message(), "Image is empty");
    }
    EXPECT_TRUE(image.Segments.empty());
  }
}

TEST(LocateByte, FixedSizeRefusesEverythingOutsideTheStoredBytes) {
  TIntelImage image = ImageOf({Segment(0x100, Fill(0x10, 7))});
  image.FixedSize = true;
  for (std::uint32_t address : {0x110u, 0xFFu, 0u, 0xFFFFFFFFu}) {
    try {
      image.GetByte(address);
      ADD_FAILURE() << "no error at " << address;
    } catch (const EObjImageError& e) {
      EXPECT_EQ(e.Message(), "Invalid offset");
    }
  }
  image.SetByte(0x10F, 0x42);
  EXPECT_EQ(image.GetByte(0x10F), 0x42);
  EXPECT_EQ(LayoutOf(image), (Layout{{0x100, 0x10}}));
}

TEST(LocateByte, ReadingGrowsLikeWritingAndStoresOnlyTheLowByte) {
  TIntelImage image = ImageOf({Segment(0, Fill(4, 9))});
  EXPECT_EQ(image.GetByte(7), 0);
  EXPECT_EQ(LayoutOf(image), (Layout{{0, 8}}));
  image.SetByte(2, 0x1AB);
  EXPECT_EQ(image.GetByte(2), 0xAB);
}

// A derived class that replaces LocateByte changes GetByte and SetByte too.
class RedirectedImage : public TIntelImage {
 public:
  std::uint8_t& LocateByte(std::uint32_t) override { return FOnly; }
  std::uint8_t FOnly = 0x5A;
};

TEST(LocateByte, GetAndSetGoThroughTheVirtualLookup) {
  RedirectedImage image;  // no segments, yet no "Image is empty"
  EXPECT_EQ(image.GetByte(123), 0x5A);
  image.SetByte(456, 0x11);
  EXPECT_EQ(image.FOnly, 0x11);
}

// Segments that don't ascend, as a file whose records go downward or cover one
// another leaves them: every address keeps the byte the file gave it last.
TEST(LocateByte, DescendingSegmentsFindTheStoredByte) {
  // As read from a record at 0010 followed by one at 0000.
  TIntelImage image = ImageOf({Segment(0x10, Fill(16, 0xBB)), Segment(0x00, Fill(16, 0xAA))});
  EXPECT_EQ(image.GetByte(0x15), 0xBB);
  EXPECT_EQ(image.GetByte(0x05), 0xAA);
  EXPECT_EQ(LayoutOf(image), (Layout{{0x10, 16}, {0x00, 16}}));
}

TEST(LocateByte, OverlappingSegmentsLetTheLaterWin) {
  TIntelImage image = ImageOf({Segment(0x00, Fill(32, 0xAA)), Segment(0x08, Fill(4, 0xBB))});
  EXPECT_EQ(image.GetByte(0x09), 0xBB);
  EXPECT_EQ(image.GetByte(0x10), 0xAA);  // held by the first segment only
  EXPECT_EQ(LayoutOf(image), (Layout{{0x00, 32}, {0x08, 4}}));
}

TEST(LocateByte, StretchingAcrossAnEarlierSegmentKeepsItsBytes) {
  TIntelImage image = ImageOf({Segment(0x20, test::Pattern(8, 1)), Segment(0x00, Fill(16, 0xAA))});
  const test::ByteMap before = test::BytesOf(image);
  image.SetByte(0x30, 0x77);
  EXPECT_EQ(LayoutOf(image), (Layout{{0x20, 8}, {0x00, 0x31}}));
  test::ByteMap expected = before;
  for (std::uint32_t a = 0x10; a < 0x30; ++a) expected.emplace(a, 0);
  expected[0x30] = 0x77;
  EXPECT_EQ(test::BytesOf(image), expected);
  for (std::uint32_t a = 0x20; a < 0x28; ++a) EXPECT_EQ(image.GetByte(a), before.at(a));
}

TEST(LocateByte, SegmentRunningPastTheTopGoesOnAtZero) {
  // As read from linear base FFFF0000 and a 16-byte record at FFF8.
  TIntelImage image = ImageOf({Segment(0xFFFFFFF8, test::Pattern(16, 2))});
  const auto bytes = image.Segments[0].Data;
  EXPECT_EQ(image.GetByte(0x3), bytes[11]);
  EXPECT_EQ(image.GetByte(0xFFFFFFFF), bytes[7]);
}

}  // namespace
}  // namespace velmorin
