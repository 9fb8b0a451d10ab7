#include "serialize/SeqNumForm.h"

#include <cstdio>

#include "profiles/ProfileSettings.h"
#include "serialize/SeqNumStamp.h"

namespace velmorin {

namespace {

bool IsTextForm(SeqNumFormat format) {
  return format == SeqNumFormat::Ascii || format == SeqNumFormat::AsciiHex ||
         format == SeqNumFormat::Utf16;
}

// Digits of `value` in `base` (at least one, for 0).
std::uint32_t DigitCount(std::uint32_t value, std::uint32_t base) {
  std::uint32_t count = 1;
  while (value >= base) {
    value /= base;
    ++count;
  }
  return count;
}

// `value` in `base`, upper case, zero-padded on the left to `width` digits.
std::string Digits(std::uint32_t value, std::uint32_t base, std::uint32_t width) {
  std::string text(width, '0');
  for (std::uint32_t i = width; i > 0 && value != 0; --i) {
    text[i - 1] = "0123456789ABCDEF"[value % base];
    value /= base;
  }
  return text;
}

}  // namespace

std::optional<std::string> PastTopAddress(const std::string& what, std::uint32_t address,
                                          std::uint64_t count) {
  if (count == 0 || count - 1 <= std::uint64_t{kTopAddress - address}) return std::nullopt;
  char where[16];
  std::snprintf(where, sizeof where, "0x%X", static_cast<unsigned>(address));
  return what + " at " + where + " with " + std::to_string(count) +
         " bytes runs past the last address, 0xFFFFFFFF.";
}

std::optional<std::string> SeqNumMisfit(std::int32_t seqNum, SeqNumFormat format,
                                        std::int32_t size) {
  if (size <= 0) return std::nullopt;
  const auto room = static_cast<std::uint32_t>(size);
  const auto pattern = static_cast<std::uint32_t>(seqNum);
  bool fits = true;
  switch (format) {
    case SeqNumFormat::Binary:
      fits = room >= 4 || (seqNum >= 0 && pattern >> (8 * room) == 0);
      break;
    case SeqNumFormat::Bcd:
      fits = seqNum >= 0 && DigitCount(pattern, 10) <= 2 * static_cast<std::uint64_t>(room);
      break;
    case SeqNumFormat::Ascii:
    case SeqNumFormat::Utf16:
      fits = seqNum >= 0 && DigitCount(pattern, 10) <= room;
      break;
    case SeqNumFormat::AsciiHex:
      fits = DigitCount(pattern, 16) <= room;
      break;
  }
  if (fits) return std::nullopt;
  return "Serial number " + std::to_string(seqNum) + " does not fit in " + std::to_string(size) +
         (IsTextForm(format) ? " characters." : " bytes.");
}

std::string SeqNumFormBytes(std::int32_t seqNum, SeqNumFormat format, std::int32_t size,
                            bool lsbFirst) {
  if (size <= 0) return {};
  if (size > kMaxSeqNumSize) throw ESeqNumSizeError(size);
  const auto count = static_cast<std::uint32_t>(size);
  auto pattern = static_cast<std::uint32_t>(seqNum);
  switch (format) {
    case SeqNumFormat::Binary:
    case SeqNumFormat::Bcd: {
      // Byte k counts from the least significant end.
      std::string bytes(count, '\0');
      for (std::uint32_t k = 0; k < count && pattern != 0; ++k) {
        std::uint32_t byte = 0;
        if (format == SeqNumFormat::Binary) {
          byte = pattern & 0xFF;
          pattern >>= 8;
        } else {
          byte = pattern % 10;
          pattern /= 10;
          byte |= (pattern % 10) << 4;
          pattern /= 10;
        }
        bytes[lsbFirst ? k : count - 1 - k] = static_cast<char>(byte);
      }
      return bytes;
    }
    case SeqNumFormat::Ascii:
      return Digits(pattern, 10, count);
    case SeqNumFormat::AsciiHex:
      return Digits(pattern, 16, count);
    case SeqNumFormat::Utf16: {
      const std::string digits = Digits(pattern, 10, count);
      std::string units(2 * digits.size(), '\0');
      for (std::size_t i = 0; i < digits.size(); ++i) units[2 * i] = digits[i];
      return units;
    }
  }
  return {};
}

void StampSeqNumForm(TObjImage& image, std::int32_t seqNum, SeqNumFormat format, std::int32_t size,
                     std::uint32_t address, bool lsbFirst) {
  if (format == SeqNumFormat::Binary) {
    StampSerialBytes(image, seqNum, size, address, lsbFirst);
    return;
  }
  const std::string bytes = SeqNumFormBytes(seqNum, format, size, lsbFirst);
  const auto count = static_cast<std::uint32_t>(bytes.size());
  for (std::uint32_t k = 0; k < count; ++k) {
    // BCD arrives in the order binary's bytes do, since the image grows in the
    // order new addresses arrive; text from its first character.
    const std::uint32_t offset = format == SeqNumFormat::Bcd && !lsbFirst ? count - 1 - k : k;
    image.SetByte(address + offset,
                  static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset])));
  }
}

}  // namespace velmorin
