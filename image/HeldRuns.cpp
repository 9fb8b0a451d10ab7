#include "image/HeldRuns.h"

#include <algorithm>
#include <iterator>
#include <map>

namespace velmorin {

namespace {
constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 32;
}  // namespace

std::vector<HeldRun> HeldRuns(const TObjImage& image, std::uint64_t begin, std::uint64_t end) {
  std::vector<HeldRun> runs;
  end = std::min(end, kAddressSpace);
  if (begin >= end) return runs;
  // The ranges already given to a later segment, Begin -> End, apart from
  // each other: the segments are taken from the last one in the list, which
  // wins, towards the first.
  std::map<std::uint64_t, std::uint64_t> claimed;
  const auto claim = [&](std::uint64_t lo, std::uint64_t hi, const std::uint8_t* data) {
    // The pieces of [lo, hi) that no later segment holds are this one's.
    auto it = claimed.upper_bound(lo);
    if (it != claimed.begin() && std::prev(it)->second > lo) --it;
    std::uint64_t at = lo;
    while (at < hi) {
      const std::uint64_t freeEnd = (it == claimed.end()) ? hi : std::min(hi, it->first);
      if (at < freeEnd) runs.push_back({at, freeEnd, data + (at - lo)});
      if (it == claimed.end()) break;
      at = std::max(at, it->second);
      ++it;
    }
    // Join [lo, hi) with the ranges it touches.
    std::uint64_t joinedLo = lo;
    std::uint64_t joinedHi = hi;
    auto first = claimed.upper_bound(lo);
    if (first != claimed.begin() && std::prev(first)->second >= lo) --first;
    auto last = first;
    while (last != claimed.end() && last->first <= hi) {
      joinedLo = std::min(joinedLo, last->first);
      joinedHi = std::max(joinedHi, last->second);
      ++last;
    }
    claimed.erase(first, last);
    claimed.emplace(joinedLo, joinedHi);
  };
  for (auto segment = image.Segments.rbegin(); segment != image.Segments.rend(); ++segment) {
    // The lookup's offset is 32-bit: no more than 2^32 bytes of a segment count.
    const std::uint64_t size = std::min<std::uint64_t>(segment->Data.size(), kAddressSpace);
    const std::uint64_t start = segment->Start;
    const std::uint8_t* data = segment->Data.data();
    // Up to the top of the address space, and the rest from 0.
    const std::uint64_t topEnd = std::min(start + size, kAddressSpace);
    const std::uint64_t lo = std::max(start, begin);
    const std::uint64_t hi = std::min(topEnd, end);
    if (lo < hi) claim(lo, hi, data + (lo - start));
    if (start + size > kAddressSpace) {
      const std::uint64_t wrapped = start + size - kAddressSpace;
      const std::uint8_t* wrappedData = data + (kAddressSpace - start);
      const std::uint64_t wlo = begin;
      const std::uint64_t whi = std::min(wrapped, end);
      if (wlo < whi) claim(wlo, whi, wrappedData + wlo);
    }
  }
  std::sort(runs.begin(), runs.end(),
            [](const HeldRun& a, const HeldRun& b) { return a.Begin < b.Begin; });
  return runs;
}

}  // namespace velmorin
