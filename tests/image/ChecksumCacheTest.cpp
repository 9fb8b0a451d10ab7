// The cache a batch computes its checksums through must give, for every
// image, what a whole computation gives: for many serial numbers, and when
// the skeleton changes between images, in its bytes or in its holes.
#include <gtest/gtest.h>

#include <map>

#include "image/ChecksumCache.h"
#include "image/ImageChecksum.h"
#include "image/IntelImage.h"
#include "tests/image/ChecksumTestSupport.h"

namespace velmorin {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A skeleton of 64 KiB at 0x08000000 with a hole in it; made once a seed.
TIntelImage Skeleton(unsigned seed = 1) {
  static std::map<unsigned, TIntelImage> made;
  auto [it, added] = made.try_emplace(seed);
  if (added) {
    it->second.Segments.push_back({0x08000000, test::RandomBytes(0x8000, seed)});
    it->second.Segments.push_back({0x08009000, test::RandomBytes(0x7000, seed + 1)});
  }
  return it->second;
}

constexpr std::uint32_t kFrom = 0x08000000;
constexpr std::uint32_t kTo = 0x0800FFFB;

void StampSerial(TObjImage& image, std::uint32_t serial, std::uint32_t at) {
  for (std::uint32_t i = 0; i < 4; ++i) image.SetByte(at + i, serial >> (8 * i));
}

TEST(ChecksumCache, ManySerialsAgreeWithWholeComputations) {
  for (const ChecksumKindInfo& info : ChecksumCatalogue()) {
    ChecksumCache cache;
    for (std::uint32_t serial = 0; serial < 200; ++serial) {
      TIntelImage image = Skeleton();  // read anew for every image, as a batch does
      StampSerial(image, serial * 0x01010101u + 7, 0x08000100);
      // Across the end of the hole: the first segment stretches over it.
      StampSerial(image, ~serial, 0x08008FFE);
      const std::uint32_t expected = ComputeChecksum(image, info.Kind, kFrom, kTo, 0xFF);
      ASSERT_EQ(cache.Compute(image, info.Kind, kFrom, kTo, 0xFF), expected)
          << info.Name << " serial " << serial;
      if (serial > 0) {
        EXPECT_EQ(cache.LastPath(), ChecksumCache::Path::Adjusted) << info.Name;
      }
    }
  }
}

TEST(ChecksumCache, ASkeletonThatChangedIsSeen) {
  struct Change {
    const char* name;
    void (*apply)(TIntelImage&);
    ChecksumCache::Path path;
  };
  const Change changes[] = {
      {"one byte", [](TIntelImage& i) { i.Segments[1].Data[0x6FFF] ^= 0x01; },
       ChecksumCache::Path::Adjusted},
      {"a new build", [](TIntelImage& i) { i = Skeleton(9); }, ChecksumCache::Path::Whole},
      {"a hole filled with the fill",
       [](TIntelImage& i) {
         i.Segments[0].Data.resize(0x9000, 0xFF);  // the hole's bytes, now held as 0xFF
       },
       ChecksumCache::Path::Whole},
      {"a shorter image", [](TIntelImage& i) { i.Segments.pop_back(); },
       ChecksumCache::Path::Whole},
      {"segments in another order", [](TIntelImage& i) { std::swap(i.Segments[0], i.Segments[1]); },
       ChecksumCache::Path::Adjusted},
  };
  for (const Change& change : changes) {
    for (const ChecksumKind kind : {ChecksumKind::Crc32, ChecksumKind::Crc32Stm32,
                                    ChecksumKind::Crc16Modbus, ChecksumKind::Sum16Neg}) {
      ChecksumCache cache;
      TIntelImage first = Skeleton();
      cache.Compute(first, kind, kFrom, kTo, 0xFF);
      TIntelImage changed = Skeleton();
      change.apply(changed);
      EXPECT_EQ(cache.Compute(changed, kind, kFrom, kTo, 0xFF),
                ComputeChecksum(changed, kind, kFrom, kTo, 0xFF))
          << change.name << " " << ChecksumKindName(kind);
      EXPECT_EQ(cache.LastPath(), change.path) << change.name;
      // And the image after it, the changed skeleton stamped, agrees too.
      StampSerial(changed, 0xDEADBEEF, 0x08000200);
      EXPECT_EQ(cache.Compute(changed, kind, kFrom, kTo, 0xFF),
                ComputeChecksum(changed, kind, kFrom, kTo, 0xFF))
          << change.name << " then stamped";
    }
  }
}

TEST(ChecksumCache, OtherSettingsAreComputedWhole) {
  ChecksumCache cache;
  const TIntelImage image = Skeleton();
  cache.Compute(image, ChecksumKind::Crc32, kFrom, kTo, 0xFF);
  struct Setting {
    ChecksumKind kind;
    std::uint32_t from, to;
    std::uint8_t fill;
  };
  const Setting settings[] = {
      {ChecksumKind::Crc32c, kFrom, kTo, 0xFF},
      {ChecksumKind::Crc32c, kFrom + 4, kTo, 0xFF},
      {ChecksumKind::Crc32c, kFrom + 4, kTo - 4, 0xFF},
      {ChecksumKind::Crc32c, kFrom + 4, kTo - 4, 0x00},  // the hole reads otherwise
  };
  for (const Setting& s : settings) {
    EXPECT_EQ(cache.Compute(image, s.kind, s.from, s.to, s.fill),
              ComputeChecksum(image, s.kind, s.from, s.to, s.fill));
    EXPECT_EQ(cache.LastPath(), ChecksumCache::Path::Whole);
  }
}

}  // namespace
}  // namespace velmorin
