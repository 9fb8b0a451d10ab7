// Reads any text as an Intel HEX file from memory. A text the reader refuses
// must be refused with a EIntelImageError; one it accepts is stamped the way a
// serialization stamps it, written, read back, and must come back with the
// same byte at every address (the later of two overlapping segments wins, as
// it does for the image's own byte access).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "image/IntelImage.h"
#include "serialize/SeqNumStamp.h"

namespace {

using velmorin::TImageSegment;
using velmorin::TIntelImage;
using ByteMap = std::map<std::uint32_t, std::uint8_t>;

// No single stretch of the image in a run may allocate more than this; the
// image's growth rules are tested with larger gaps elsewhere.
constexpr std::uint64_t kMaxStretch = 1 << 16;

ByteMap BytesOf(const TIntelImage& image) {
  ByteMap bytes;
  for (const TImageSegment& segment : image.Segments) {
    for (std::size_t i = 0; i < segment.Data.size(); ++i) {
      bytes[static_cast<std::uint32_t>(segment.Start + i)] = segment.Data[i];
    }
  }
  return bytes;
}

std::uint32_t Mix(std::uint32_t h, std::uint8_t byte) {
  return (h ^ byte) * 16777619u;
}

// Stamps a serial number inside the data of one segment chosen by `seed`;
// the bytes it wrote go into `expected`.
void StampInside(TIntelImage& image, std::uint32_t seed, ByteMap& expected) {
  const TImageSegment* chosen = nullptr;
  std::size_t withData = 0;
  for (const TImageSegment& segment : image.Segments) withData += !segment.Data.empty();
  if (withData == 0) return;
  std::size_t pick = seed % withData;
  for (const TImageSegment& segment : image.Segments) {
    if (segment.Data.empty()) continue;
    if (pick-- == 0) chosen = &segment;
  }
  const std::size_t length = chosen->Data.size();
  const int width = static_cast<int>(std::min<std::size_t>(length, 1 + (seed >> 8) % 6));
  const std::size_t offset = (seed >> 16) % (length - static_cast<std::size_t>(width) + 1);
  const std::uint32_t address = chosen->Start + static_cast<std::uint32_t>(offset);
  const bool lsbFirst = (seed & 0x80) != 0;
  const auto seqNum = static_cast<std::int32_t>(seed * 2654435761u);

  velmorin::StampSerialBytes(image, seqNum, width, address, lsbFirst);
  auto pattern = static_cast<std::uint32_t>(seqNum);
  for (int k = 0; k < width; ++k) {
    const int i = lsbFirst ? k : width - 1 - k;
    expected[address + static_cast<std::uint32_t>(i)] = static_cast<std::uint8_t>(pattern);
    pattern >>= 8;
  }
}

// Writes one byte just past the end of the highest segment when the image's
// rule would stretch a segment by a small amount only; the bytes between keep
// what they held or become 0.
void StampJustPast(TIntelImage& image, std::uint8_t value, ByteMap& expected) {
  const TImageSegment* highest = nullptr;
  for (const TImageSegment& segment : image.Segments) {
    if (!highest || segment.Start >= highest->Start) highest = &segment;
  }
  const std::uint64_t end = std::uint64_t{highest->Start} + highest->Data.size();
  if (end >= (std::uint64_t{1} << 32)) return;
  const auto address = static_cast<std::uint32_t>(end);
  if (expected.count(address)) return;  // a stored byte: nothing stretches
  // The segment that stretches: the last in the list starting at or below.
  const TImageSegment* target = nullptr;
  for (const TImageSegment& segment : image.Segments) {
    if (segment.Start <= address) target = &segment;
  }
  if (target == nullptr) return;
  const std::uint64_t oldEnd = std::uint64_t{target->Start} + target->Data.size();
  if (address - target->Start >= kMaxStretch) return;

  image.SetByte(address, value);
  for (std::uint64_t a = oldEnd; a < address; ++a) {
    expected.emplace(static_cast<std::uint32_t>(a), 0);  // held bytes keep their value
  }
  expected[address] = value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TIntelImage image;
  try {
    image.LoadFromText(text);
  } catch (const velmorin::EIntelImageError&) {
    return 0;  // a format error, reported with its message: fine
  }

  if (image.Segments.empty()) {
    try {
      image.SetByte(0, 0);
      FUZZ_CHECK(!"an empty image accepted a byte");
    } catch (const velmorin::EObjImageError& e) {
      FUZZ_CHECK(e.Message() == "Image is empty");
    }
    return 0;
  }

  std::uint32_t seed = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) seed = Mix(seed, data[i]);

  ByteMap expected = BytesOf(image);
  StampInside(image, seed, expected);
  StampJustPast(image, static_cast<std::uint8_t>(seed >> 24), expected);
  FUZZ_CHECK(BytesOf(image) == expected);

  std::string written;
  try {
    written = image.SaveToText();
  } catch (const velmorin::EIntelImageError& e) {
    // Only an image that can't be addressed in its mode is refused.
    FUZZ_CHECK(e.Message() == "Invalid image format");
    FUZZ_CHECK(image.AddrMode != velmorin::amLinear);
    return 0;
  }

  TIntelImage reread;
  try {
    reread.LoadFromText(written);
  } catch (const velmorin::EIntelImageError&) {
    FUZZ_CHECK(!"the writer's output is not readable");
  }
  FUZZ_CHECK(BytesOf(reread) == expected);
  FUZZ_CHECK(reread.StartAddr == image.StartAddr);
  return 0;
}
