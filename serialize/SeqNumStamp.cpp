#include "serialize/SeqNumStamp.h"

#include <cstdio>

#include "platform/files/PathNames.h"

namespace velmorin {

namespace {
std::string SizeMessage(std::int32_t size) {
  char text[96];
  std::snprintf(text, sizeof text, "SN Size %X is too large (at most %X)",
                static_cast<unsigned>(size), static_cast<unsigned>(kMaxSeqNumSize));
  return text;
}
}  // namespace

ESeqNumSizeError::ESeqNumSizeError(std::int32_t size) : Exception(SizeMessage(size)) {}

void StampSerialBytes(TObjImage& image, std::int32_t seqNum, std::int32_t width,
                      std::uint32_t address, bool lsbFirst) {
  if (width <= 0) return;
  if (width > kMaxSeqNumSize) throw ESeqNumSizeError(width);
  std::uint32_t pattern = static_cast<std::uint32_t>(seqNum);
  const auto count = static_cast<std::uint32_t>(width);
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t offset = lsbFirst ? k : count - 1 - k;
    image.SetByte(address + offset, pattern & 0xFF);
    pattern >>= 8;
  }
}

std::string OutputFileName(std::string_view skelFile, std::int32_t seqNum) {
  return FileStem(skelFile) + "_" + std::to_string(seqNum) + ".hex";
}

}  // namespace velmorin
