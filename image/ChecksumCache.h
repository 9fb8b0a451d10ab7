// A region's checksum over one image after another, when the images differ
// in a few bytes: a batch reads the skeleton anew for every image and stamps
// a new serial number into it, so each image is the last one but for the
// serial's bytes (and the results of earlier regions).
//
// The cache keeps the first image's held bytes in the range (its basis) and
// their checksum. For each new image it compares the range's bytes with the
// basis, which costs a memcmp, and takes the checksum from the basis's by
// adjusting it for each byte that differs (AdjustChecksum). Every byte is
// compared every time, so an image whose bytes or holes differ in any way
// is seen, never given a stale value: when the holes lie elsewhere or too
// many bytes differ (the skeleton file changed), the checksum is computed
// whole and that image becomes the basis.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "image/ImageChecksum.h"

namespace velmorin {

class ChecksumCache {
 public:
  // How the last Compute came to its value.
  enum class Path { Whole, Adjusted };

  // The same value as ComputeChecksum(image, kind, from, to, fill); raises as it does.
  std::uint32_t Compute(const TObjImage& image, ChecksumKind kind, std::uint32_t from,
                        std::uint32_t to, std::uint8_t fill);
  std::uint32_t Compute(const TObjImage& image, const ChecksumRegion& region) {
    return Compute(image, region.Kind, region.From, region.To, region.Fill);
  }

  Path LastPath() const { return FLastPath; }
  // Forgets the basis; the next Compute is whole.
  void Clear() { FBasis.reset(); }

 private:
  struct Basis {
    ChecksumKind Kind;
    std::uint32_t From;
    std::uint32_t To;
    std::uint8_t Fill;
    // The held runs' bounds, and their bytes one after the other.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> Runs;
    std::vector<std::uint8_t> Bytes;
    std::uint32_t Value;
  };

  // The value over `runs` from the basis's, or nothing when a whole
  // computation is the better (or only) way.
  std::optional<std::uint32_t> Adjusted(const std::vector<HeldRun>& runs) const;

  std::optional<Basis> FBasis;
  Path FLastPath = Path::Whole;
};

}  // namespace velmorin
