// The bytes an image holds over an address range, as its byte lookup finds
// them, without touching the image: where segments overlap, the later one in
// the list holds the byte; a segment that runs past 0xFFFFFFFF goes on at 0.
// Checksums read the image this way, since GetByte would grow it at every
// address it holds no data for.
#pragma once

#include <cstdint>
#include <vector>

#include "image/ObjImage.h"

namespace velmorin {

// Addresses Begin to End - 1 (64-bit, so a range may end at 2^32), whose bytes
// start at Data (which points into the image's segment).
struct HeldRun {
  std::uint64_t Begin = 0;
  std::uint64_t End = 0;
  const std::uint8_t* Data = nullptr;
};

// The runs of held bytes within [begin, end) (end at most 2^32), in ascending
// order, apart from each other; the addresses between them hold no data.
// Two adjacent runs may come from two segments.
std::vector<HeldRun> HeldRuns(const TObjImage& image, std::uint64_t begin, std::uint64_t end);

}  // namespace velmorin
