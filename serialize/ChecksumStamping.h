// The checksum regions on the road of one serialization: the skeleton's own
// checksums checked before a number is taken, and every region computed
// anew and written after the number is stamped.
//
// A stamper lives as long as the serializer that uses it, so that a batch,
// which reads the skeleton anew for every image, pays for a whole checksum
// once and for each later image only a comparison (ChecksumCache).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "image/ChecksumCache.h"
#include "image/ObjImage.h"
#include "profiles/ChecksumRegions.h"
#include "profiles/WorkingProfile.h"

namespace velmorin {

// The skeleton's stored checksum disagrees with the one its settings give:
// the kind or the range is wrong, and every chip would be rejected. Raised
// before a number is taken.
class EChecksumMismatch : public Exception {
 public:
  using Exception::Exception;
};

// "The skeleton's checksum 1 at 0x7FFC reads 0x1234ABCD, but crc32 over
// 0x0000-0x7FFB gives 0x9ABCDEF0." (addresses and values as ImageChecksum.h
// writes them).
std::string ChecksumMismatchMessage(int number, const ChecksumRegion& region, std::uint32_t stored,
                                    std::uint32_t computed);

class ChecksumStamper {
 public:
  // The road's first step, after the skeleton is read and before a number
  // is taken: the image's regions checked against the serial slots it is
  // made with (RequireValidChecksumRegions, EProfileValueError; the window's
  // slots may have moved since the profile loaded), then CheckSkeleton.
  void CheckSkeleton(const ImageSettings& image, const TObjImage& skeleton);
  // The road's last step on the image, after every slot is stamped: Stamp.
  void Stamp(const ImageSettings& image, TObjImage& target);

  // Before a number is taken: each region computed over the skeleton as it
  // is, compared with the skeleton's bytes at its place, when all of them
  // are held and they are neither all 0xFF nor all 0x00 (a place left blank
  // for the programmer). Raises EChecksumMismatch for the first that
  // disagrees; the image is not touched.
  void CheckSkeleton(const TObjImage& skeleton, std::span<const NumberedChecksumRegion> regions);

  // After the number is stamped: the regions in order, each result written
  // before the next is computed, so that an outer range covers an inner
  // region's new result.
  void Stamp(TObjImage& image, std::span<const NumberedChecksumRegion> regions);

  // The cache of region `number` (1 to 4), for tests and benchmarks.
  const ChecksumCache& CacheOf(int number) const {
    return FCaches.at(static_cast<std::size_t>(number - 1));
  }

 private:
  ChecksumCache& Cache(int number) { return FCaches.at(static_cast<std::size_t>(number - 1)); }

  // One per region number: the skeleton and each stamped image differ in a
  // few bytes, so the check and the stamping share it.
  std::array<ChecksumCache, kChecksumRegionCount> FCaches;
};

}  // namespace velmorin
