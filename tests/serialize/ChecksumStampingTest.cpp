// The checksum regions on the serialize road: the skeleton's own checksum
// checked (and blank places let through), regions computed in order so that
// an outer one covers an inner one's new result, and a batch through the
// cache agreeing image for image with a fresh computation, also when the
// skeleton changes under it.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "image/ImageChecksum.h"
#include "image/IntelImage.h"
#include "serialize/ChecksumStamping.h"

namespace velmorin {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Random(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(count);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

const ChecksumRegion kOuter{ChecksumKind::Crc32, 0x0000, 0x7FFB, 0x7FFC, false, 0xFF};
const ChecksumRegion kInner{ChecksumKind::Crc16Kermit, 0x0100, 0x01FF, 0x0200, true, 0xFF};

// 32 KiB of firmware whose build wrote both checksums: the inner first, then
// the outer over it.
TIntelImage Skeleton(unsigned seed = 1) {
  TIntelImage image;
  image.Segments.push_back({0, Random(0x8000, seed)});
  WriteChecksum(image, kInner, ComputeChecksum(image, kInner));
  WriteChecksum(image, kOuter, ComputeChecksum(image, kOuter));
  return image;
}

const std::vector<NumberedChecksumRegion> kRegions{{1, kInner}, {2, kOuter}};

std::string Refusal(ChecksumStamper& stamper, const TObjImage& skeleton,
                    const std::vector<NumberedChecksumRegion>& regions) {
  try {
    stamper.CheckSkeleton(skeleton, regions);
  } catch (const EChecksumMismatch& error) {
    return error.Message();
  }
  return "";
}

TEST(ChecksumStamping, TheMismatchMessage) {
  EXPECT_EQ(ChecksumMismatchMessage(1, {ChecksumKind::Crc32, 0x0000, 0x7FFB, 0x7FFC}, 0x1234ABCD,
                                    0x9ABCDEF0),
            "The skeleton's checksum 1 at 0x7FFC reads 0x1234ABCD, but crc32 over 0x0000-0x7FFB "
            "gives 0x9ABCDEF0.");
  EXPECT_EQ(ChecksumMismatchMessage(3, {ChecksumKind::Crc16Arc, 0x08000000, 0x0801FFFB, 0x0801FFFC},
                                    0x12, 0xBB3D),
            "The skeleton's checksum 3 at 0x0801FFFC reads 0x0012, but crc16-arc over "
            "0x08000000-0x0801FFFB gives 0xBB3D.");
}

TEST(ChecksumStamping, TheSkeletonCheck) {
  ChecksumStamper stamper;
  EXPECT_EQ(Refusal(stamper, Skeleton(), kRegions), "");
  // A byte of the outer range changed: refused, naming region 2.
  TIntelImage spoiled = Skeleton();
  spoiled.Segments[0].Data[0x10] ^= 1;
  const std::uint32_t stored = ChecksumFromBytes(*HeldBytes(spoiled, 0x7FFC, 4), false);
  EXPECT_EQ(Refusal(stamper, spoiled, kRegions),
            ChecksumMismatchMessage(2, kOuter, stored, ComputeChecksum(spoiled, kOuter)));
  // A place left blank for the programmer, or without data, is not compared.
  for (const std::uint8_t blank : {std::uint8_t{0xFF}, std::uint8_t{0x00}}) {
    TIntelImage blanked = spoiled;
    std::fill_n(blanked.Segments[0].Data.begin() + 0x7FFC, 4, blank);
    EXPECT_EQ(Refusal(stamper, blanked, kRegions), "") << int{blank};
  }
  TIntelImage cut = spoiled;
  cut.Segments[0].Data.resize(0x7FFE);
  EXPECT_EQ(Refusal(stamper, cut, kRegions), "");
  // The byte order is the region's: read the other way, the right value is wrong.
  ChecksumRegion swapped = kInner;
  swapped.MsbFirst = false;
  EXPECT_NE(Refusal(stamper, Skeleton(), {{1, swapped}}), "");
}

TEST(ChecksumStamping, RegionsInOrderEachWrittenBeforeTheNext) {
  TIntelImage image = Skeleton();
  image.SetByte(0x150, 0x42);  // a serial number inside both ranges
  ChecksumStamper stamper;
  stamper.Stamp(image, kRegions);
  // Both hold over the final bytes: the outer was computed over the inner's new result.
  EXPECT_EQ(ChecksumFromBytes(*HeldBytes(image, 0x200, 2), true), ComputeChecksum(image, kInner));
  EXPECT_EQ(ChecksumFromBytes(*HeldBytes(image, 0x7FFC, 4), false), ComputeChecksum(image, kOuter));
  // The stamped image passes the skeleton check, as a skeleton built so would.
  EXPECT_EQ(Refusal(stamper, image, kRegions), "");
}

TEST(ChecksumStamping, ABatchThroughTheCacheAgreesWithFreshComputations) {
  ChecksumStamper stamper;
  for (std::uint32_t serial = 1; serial <= 100; ++serial) {
    // The skeleton's file changes once, its build rewritten, halfway.
    TIntelImage image = Skeleton(serial <= 50 ? 1 : 2);
    ASSERT_EQ(Refusal(stamper, image, kRegions), "") << serial;
    for (std::uint32_t i = 0; i < 4; ++i) image.SetByte(0x150 + i, serial >> (8 * i));
    stamper.Stamp(image, kRegions);
    TIntelImage fresh = Skeleton(serial <= 50 ? 1 : 2);
    for (std::uint32_t i = 0; i < 4; ++i) fresh.SetByte(0x150 + i, serial >> (8 * i));
    ChecksumStamper().Stamp(fresh, kRegions);
    ASSERT_EQ(image.Segments[0].Data, fresh.Segments[0].Data) << serial;
    if (serial > 1 && serial != 51) {
      EXPECT_EQ(stamper.CacheOf(2).LastPath(), ChecksumCache::Path::Adjusted) << serial;
    }
  }
  // A skeleton whose bytes changed but whose stored checksum didn't is
  // refused, whatever the cache saw before.
  TIntelImage spoiled = Skeleton(2);
  spoiled.Segments[0].Data[0x4000] ^= 0x80;
  EXPECT_NE(Refusal(stamper, spoiled, kRegions), "");
}

}  // namespace
}  // namespace velmorin
