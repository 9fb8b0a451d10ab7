// Byte access to the memory image.
//
// Segments normally ascend without overlap, and then the lookup is the simple
// walk from the last segment backwards. A file whose records go downward or
// cover each other leaves segments that don't ascend; the later segment then
// holds the byte the file gave last, and the lookup honours that: a stored byte
// is always found first, and a segment stretched across a gap takes over the
// bytes that earlier segments hold there instead of hiding them under zeros.
#include "image/ObjImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace velmorin {

namespace {
constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 32;

// Copies into `target` the bytes that `source` holds at the addresses
// [from, to) (no wrap-around), where `target` covers them.
void CopyHeldBytes(const TImageSegment& source, TImageSegment& target, std::uint64_t from,
                   std::uint64_t to) {
  const std::uint64_t start = source.Start;
  const std::uint64_t end = start + source.Data.size();
  // A segment that runs past the top of the address space goes on at 0.
  const std::pair<std::uint64_t, std::uint64_t> pieces[] = {
      {start, std::min(end, kAddressSpace)}, {0, end > kAddressSpace ? end - kAddressSpace : 0}};
  for (const auto& [pieceBegin, pieceEnd] : pieces) {
    const std::uint64_t lo = std::max(pieceBegin, from);
    const std::uint64_t hi = std::min(pieceEnd, to);
    if (lo >= hi) continue;
    const auto sourceOffset = static_cast<std::uint32_t>(lo - start);
    const auto targetOffset = static_cast<std::uint32_t>(lo - target.Start);
    std::memcpy(target.Data.data() + targetOffset, source.Data.data() + sourceOffset, hi - lo);
  }
}
}  // namespace

std::uint8_t& TObjImage::LocateByte(std::uint32_t address) {
  if (Segments.empty()) throw EObjImageError("Image is empty");

  // A stored byte: the last segment that holds it wins, as the last record did.
  for (auto it = Segments.rbegin(); it != Segments.rend(); ++it) {
    const std::uint32_t offset = address - it->Start;
    if (offset < it->Data.size()) return it->Data[offset];
  }

  if (FixedSize) throw EObjImageError("Invalid offset");

  // Stretch the last segment that starts at or below the address.
  for (std::size_t i = Segments.size(); i-- > 0;) {
    if (Segments[i].Start <= address) return StretchSegment(i, address);
  }

  // Below every segment: a new one-byte segment in front of the others.
  Segments.insert(Segments.begin(), TImageSegment{address, {0}});
  return Segments.front().Data.front();
}

std::uint8_t& TObjImage::StretchSegment(std::size_t index, std::uint32_t address) {
  TImageSegment& segment = Segments[index];
  const std::uint64_t oldEnd = std::uint64_t{segment.Start} + segment.Data.size();
  // In 64 bits: a segment at 0 stretched to 0xFFFFFFFF holds 2^32 bytes.
  const std::size_t newSize = std::size_t{address - segment.Start} + 1;
  if (newSize - segment.Data.size() > kMaxStretch) {
    char message[64];
    std::snprintf(message, sizeof message, "Address %08X is too far beyond the image's data",
                  static_cast<unsigned>(address));
    throw EObjImageError(message);
  }
  segment.Data.resize(newSize, 0);
  // The gap is zeros except where an earlier segment holds a byte; later
  // segments keep winning on their own.
  for (std::size_t i = 0; i < index; ++i) {
    CopyHeldBytes(Segments[i], segment, oldEnd, address);
  }
  return segment.Data.back();
}

std::uint8_t TObjImage::GetByte(std::uint32_t address) {
  return LocateByte(address);
}

void TObjImage::SetByte(std::uint32_t address, std::uint32_t value) {
  LocateByte(address) = static_cast<std::uint8_t>(value);
}

}  // namespace velmorin
