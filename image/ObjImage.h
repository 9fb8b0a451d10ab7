// The memory image of a target: TObjImage holds the bytes read from an
// object file as a list of contiguous segments and gives byte access by
// address, growing the image where a byte lies outside it. Its Intel HEX
// form is TIntelImage (IntelImage.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exceptions.h"
#include "platform/files/AtomicFileWriter.h"

namespace velmorin {

class EObjImageError : public Exception {
 public:
  using Exception::Exception;
};

// One contiguous run of bytes starting at `Start`.
struct TImageSegment {
  std::uint32_t Start = 0;
  std::vector<std::uint8_t> Data;
};

class TObjImage {
 public:
  TObjImage() = default;
  virtual ~TObjImage() = default;
  TObjImage(const TObjImage&) = default;
  TObjImage& operator=(const TObjImage&) = default;

  // Data bytes a writer puts in one record.
  std::uint32_t MaxRecLen = 255;
  // Program entry address from a start-address record; 0 when there is none.
  std::uint32_t StartAddr = 0;
  // The image's bytes, in the order the segments were made.
  std::vector<TImageSegment> Segments;
  // When true, an access outside the stored bytes fails instead of growing the image.
  bool FixedSize = false;

  // The stored byte at `address`, growing the image first where needed. Where
  // segments overlap, the later one in the list holds the byte.
  virtual std::uint8_t& LocateByte(std::uint32_t address);
  virtual std::uint8_t GetByte(std::uint32_t address);
  // Stores the low 8 bits of `value` at `address`.
  virtual void SetByte(std::uint32_t address, std::uint32_t value);
  virtual void LoadFromFile(const std::string& fileName) = 0;
  virtual void SaveToFile(const std::string& fileName) = 0;

  // The most bytes one access may add by stretching a segment across a gap.
  // A byte that far beyond the data is a mistyped address, not firmware: the
  // gap would be gigabytes of zeros in memory and in the output file, so the
  // access raises EObjImageError instead of exhausting memory.
  static constexpr std::size_t kMaxStretch = std::size_t{256} << 20;

 private:
  // Grows Segments[index] up to and including `address` and returns that byte.
  std::uint8_t& StretchSegment(std::size_t index, std::uint32_t address);
};

}  // namespace velmorin
