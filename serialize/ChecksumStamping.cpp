#include "serialize/ChecksumStamping.h"

#include <algorithm>

#include "image/ImageChecksum.h"

namespace velmorin {

std::string ChecksumMismatchMessage(int number, const ChecksumRegion& region, std::uint32_t stored,
                                    std::uint32_t computed) {
  const std::uint32_t width = ChecksumWidth(region.Kind);
  return "The skeleton's checksum " + std::to_string(number) + " at " + AddressText(region.At) +
         " reads " + ChecksumValueText(stored, width) + ", but " + ChecksumKindName(region.Kind) +
         " over " + RangeText(region.From, region.To) + " gives " +
         ChecksumValueText(computed, width) + ".";
}

void ChecksumStamper::CheckSkeleton(const ImageSettings& image, const TObjImage& skeleton) {
  image.Optional.RequireConsistent(image.Settings);
  CheckSkeleton(skeleton, image.Optional.Get<ChecksumRegions>().InForce());
}

void ChecksumStamper::Stamp(const ImageSettings& image, TObjImage& target) {
  Stamp(target, image.Optional.Get<ChecksumRegions>().InForce());
}

void ChecksumStamper::CheckSkeleton(const TObjImage& skeleton,
                                    std::span<const NumberedChecksumRegion> regions) {
  for (const auto& [number, region] : regions) {
    const std::uint32_t width = ChecksumWidth(region.Kind);
    const std::optional<std::vector<std::uint8_t>> stored = HeldBytes(skeleton, region.At, width);
    if (!stored) continue;
    const auto all = [&](std::uint8_t value) {
      return std::all_of(stored->begin(), stored->end(),
                         [value](std::uint8_t b) { return b == value; });
    };
    if (all(0xFF) || all(0x00)) continue;
    const std::uint32_t computed = Cache(number).Compute(skeleton, region);
    const std::uint32_t storedValue = ChecksumFromBytes(*stored, region.MsbFirst);
    if (computed != storedValue) {
      throw EChecksumMismatch(ChecksumMismatchMessage(number, region, storedValue, computed));
    }
  }
}

void ChecksumStamper::Stamp(TObjImage& image, std::span<const NumberedChecksumRegion> regions) {
  for (const auto& [number, region] : regions) {
    WriteChecksum(image, region, Cache(number).Compute(image, region));
  }
}

}  // namespace velmorin
