#include "image/ImageChecksum.h"

#include <cstdio>

#include "image/ChecksumAccumulator.h"

namespace velmorin {

void RequireChecksumRange(ChecksumKind kind, std::uint32_t from, std::uint32_t to) {
  if (to < from) {
    throw EChecksumRangeError("The range " + RangeText(from, to) + " ends before it starts.");
  }
  const ChecksumKindInfo& info = ChecksumKindInfoOf(kind);
  const std::uint64_t length = RangeLength(from, to);
  if (info.LittleEndianWords && length % 4 != 0) {
    throw EChecksumRangeError(std::string(info.Name) + " reads 32-bit words, but " +
                              RangeText(from, to) + " holds " + std::to_string(length) +
                              " bytes, no multiple of 4.");
  }
}

std::uint32_t ComputeChecksum(const TObjImage& image, ChecksumKind kind, std::uint32_t from,
                              std::uint32_t to, std::uint8_t fill) {
  RequireChecksumRange(kind, from, to);
  return ComputeChecksum(HeldRuns(image, from, std::uint64_t{to} + 1), kind, from, to, fill);
}

std::uint32_t ComputeChecksum(const std::vector<HeldRun>& runs, ChecksumKind kind,
                              std::uint32_t from, std::uint32_t to, std::uint8_t fill) {
  const std::uint64_t end = std::uint64_t{to} + 1;
  ChecksumAccumulator accumulator(kind);
  std::uint64_t at = from;
  for (const HeldRun& run : runs) {
    if (run.Begin > at) accumulator.UpdateRun(fill, run.Begin - at);
    accumulator.Update({run.Data, static_cast<std::size_t>(run.End - run.Begin)});
    at = run.End;
  }
  if (end > at) accumulator.UpdateRun(fill, end - at);
  return accumulator.Value();
}

std::vector<std::uint8_t> ChecksumResultBytes(std::uint32_t value, std::uint32_t width,
                                              bool msbFirst) {
  std::vector<std::uint8_t> bytes(width);
  for (std::uint32_t i = 0; i < width; ++i) {
    const std::uint32_t place = msbFirst ? width - 1 - i : i;
    bytes[i] = static_cast<std::uint8_t>(value >> (8 * place));
  }
  return bytes;
}

std::uint32_t ChecksumFromBytes(const std::vector<std::uint8_t>& bytes, bool msbFirst) {
  std::uint32_t value = 0;
  const std::size_t width = bytes.size();
  for (std::size_t i = 0; i < width; ++i) {
    const std::size_t place = msbFirst ? width - 1 - i : i;
    value |= std::uint32_t{bytes[i]} << (8 * place);
  }
  return value;
}

void WriteChecksum(TObjImage& image, const ChecksumRegion& region, std::uint32_t value) {
  const std::vector<std::uint8_t> bytes =
      ChecksumResultBytes(value, ChecksumWidth(region.Kind), region.MsbFirst);
  for (std::uint32_t i = 0; i < bytes.size(); ++i) image.SetByte(region.At + i, bytes[i]);
}

std::optional<std::vector<std::uint8_t>> HeldBytes(const TObjImage& image, std::uint32_t at,
                                                   std::uint32_t count) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(count);
  // A place that runs past the top goes on at 0, as writing it would.
  const std::uint64_t end = std::uint64_t{at} + count;
  const std::uint64_t top = std::uint64_t{1} << 32;
  const std::pair<std::uint64_t, std::uint64_t> pieces[] = {{at, std::min(end, top)},
                                                            {0, end > top ? end - top : 0}};
  for (const auto& [lo, hi] : pieces) {
    std::uint64_t next = lo;
    for (const HeldRun& run : HeldRuns(image, lo, hi)) {
      if (run.Begin != next) return std::nullopt;
      bytes.insert(bytes.end(), run.Data, run.Data + (run.End - run.Begin));
      next = run.End;
    }
    if (next != hi) return std::nullopt;
  }
  return bytes;
}

std::string AddressText(std::uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", address > 0xFFFF ? 8 : 4,
                static_cast<unsigned>(address));
  return text;
}

std::string ChecksumValueText(std::uint32_t value, std::uint32_t width) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", static_cast<int>(2 * width),
                static_cast<unsigned>(value));
  return text;
}

std::string RangeText(std::uint32_t from, std::uint32_t to) {
  return AddressText(from) + "-" + AddressText(to);
}

}  // namespace velmorin
