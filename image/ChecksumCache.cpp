#include "image/ChecksumCache.h"

#include <algorithm>
#include <cstring>

#include "image/ChecksumAccumulator.h"

namespace velmorin {

namespace {
// Bytes compared at a time before a differing block is looked at byte by byte.
constexpr std::size_t kBlock = 256;

// Past this many changed bytes a whole computation is cheaper: adjusting for
// one byte costs about as much as a CRC over a thousand.
std::uint64_t MostAdjusted(std::uint64_t length) {
  return std::max<std::uint64_t>(64, length / 1024);
}
}  // namespace

std::optional<std::uint32_t> ChecksumCache::Adjusted(const std::vector<HeldRun>& runs) const {
  const Basis& basis = *FBasis;
  if (runs.size() != basis.Runs.size()) return std::nullopt;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    if (runs[i].Begin != basis.Runs[i].first || runs[i].End != basis.Runs[i].second) {
      return std::nullopt;
    }
  }
  const std::uint64_t length = RangeLength(basis.From, basis.To);
  const std::uint64_t most = MostAdjusted(length);
  std::uint64_t changed = 0;
  std::uint32_t value = basis.Value;
  const std::uint8_t* kept = basis.Bytes.data();
  for (const HeldRun& run : runs) {
    const auto size = static_cast<std::size_t>(run.End - run.Begin);
    for (std::size_t block = 0; block < size; block += kBlock) {
      const std::size_t n = std::min(kBlock, size - block);
      if (std::memcmp(run.Data + block, kept + block, n) == 0) continue;
      for (std::size_t k = block; k < block + n; ++k) {
        if (run.Data[k] == kept[k]) continue;
        if (++changed > most) return std::nullopt;
        value = AdjustChecksum(basis.Kind, value, length, run.Begin + k - basis.From, kept[k],
                               run.Data[k]);
      }
    }
    kept += size;
  }
  return value;
}

std::uint32_t ChecksumCache::Compute(const TObjImage& image, ChecksumKind kind, std::uint32_t from,
                                     std::uint32_t to, std::uint8_t fill) {
  RequireChecksumRange(kind, from, to);
  const std::vector<HeldRun> runs = HeldRuns(image, from, std::uint64_t{to} + 1);
  if (FBasis && FBasis->Kind == kind && FBasis->From == from && FBasis->To == to &&
      FBasis->Fill == fill) {
    if (const std::optional<std::uint32_t> value = Adjusted(runs)) {
      FLastPath = Path::Adjusted;
      return *value;
    }
  }
  FBasis.reset();
  const std::uint32_t value = ComputeChecksum(runs, kind, from, to, fill);
  Basis basis{kind, from, to, fill, {}, {}, value};
  std::size_t held = 0;
  for (const HeldRun& run : runs) held += static_cast<std::size_t>(run.End - run.Begin);
  basis.Bytes.reserve(held);
  for (const HeldRun& run : runs) {
    basis.Runs.emplace_back(run.Begin, run.End);
    basis.Bytes.insert(basis.Bytes.end(), run.Data, run.Data + (run.End - run.Begin));
  }
  FBasis = std::move(basis);
  FLastPath = Path::Whole;
  return value;
}

}  // namespace velmorin
