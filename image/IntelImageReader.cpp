// Reading Intel HEX: each line is tested in a fixed order, and the first test
// that fails ends the read with its message, so an operator always gets the
// same answer for the same broken file. The file is streamed line by line
// through one reused buffer; the whole text is never held at once.
#include <cstdio>
#include <typeinfo>

#include "HexDigits.h"
#include "ObjImage.h"
#include "TextFileReader.h"

namespace velmorin {

namespace {
enum RecordType : std::uint8_t {
  kData = 0,
  kEndOfFile = 1,
  kExtendedSegmentAddress = 2,
  kStartSegmentAddress = 3,
  kExtendedLinearAddress = 4,
  kStartLinearAddress = 5,
};

// The pairs of the longest valid record: count, address, type, 255 data
// bytes and the checksum.
constexpr std::size_t kMaxPairs = 1 + 2 + 1 + 255 + 1;

// The number held by `size` bytes, most significant first.
std::uint32_t BigEndian(const std::uint8_t* bytes, int size) {
  std::uint32_t value = 0;
  for (int i = 0; i < size; ++i) value = value << 8 | bytes[i];
  return value;
}

[[noreturn]] void Fail(const char* message) {
  throw TIntelImageError(message);
}

bool AllHexDigits(const std::string& line) {
  for (std::size_t i = 1; i < line.size(); ++i) {
    if (hex::kDigitValue[static_cast<unsigned char>(line[i])] < 0) return false;
  }
  return true;
}
}  // namespace

std::uint8_t TIntelImage::RecordChecksum(std::string_view line) const {
  // Every pair between the ":" and the last two characters; a character that
  // isn't a hexadecimal digit counts as 0 (the reader never passes one).
  const std::size_t pairs = line.size() >= 3 ? (line.size() - 3) / 2 : 0;
  unsigned sum = 0;
  for (std::size_t k = 0; k < pairs; ++k) {
    const auto high = hex::kDigitValue[static_cast<unsigned char>(line[1 + 2 * k])];
    const auto low = hex::kDigitValue[static_cast<unsigned char>(line[2 + 2 * k])];
    sum += static_cast<unsigned>((high < 0 ? 0 : high) << 4 | (low < 0 ? 0 : low));
  }
  return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

std::string TIntelImage::FixChecksum(std::string_view line) const {
  std::string fixed(line.substr(0, line.size() >= 2 ? line.size() - 2 : 0));
  hex::AppendHex(fixed, RecordChecksum(line), 2);
  return fixed;
}

void TIntelImage::LoadFromFile(const std::string& fileName) {
  TextFileReader reader(fileName);
  ReadRecords(reader);
}

void TIntelImage::LoadFromText(std::string_view text) {
  TextFileReader reader = TextFileReader::FromBuffer(text);
  ReadRecords(reader);
}

void TIntelImage::ReadRecords(TextFileReader& reader) {
  std::uint32_t segBase = 0;
  std::uint32_t linBase = 0;
  AddrMode = amNone;
  MaxRecLen = 0;

  // The checksum rule may be replaced by a derived class; when it isn't, the
  // sum taken while decoding the line is used instead of parsing it twice.
  const bool ownChecksumRule = typeid(*this) == typeid(TIntelImage);
  std::string line;
  line.reserve(2 * kMaxPairs + 1);
  std::uint8_t pairs[kMaxPairs];
  while (reader.ReadLine(line)) {
    const std::size_t length = line.size();
    if (length < 11 || length % 2 == 0 || line[0] != ':') Fail("Invalid file format");
    const char* text = line.data();
    const std::size_t pairCount = (length - 1) / 2;
    std::uint8_t checksum;
    if (pairCount <= kMaxPairs) {
      // Decode every pair once, noting any character that isn't a digit.
      int bad = 0;
      unsigned sum = 0;
      for (std::size_t k = 0; k < pairCount; ++k) {
        const int value = hex::kPairValue[static_cast<unsigned char>(text[1 + 2 * k]) << 8 |
                                          static_cast<unsigned char>(text[2 + 2 * k])];
        bad |= value;
        pairs[k] = static_cast<std::uint8_t>(value);
        sum += pairs[k];
      }
      if (bad < 0) Fail("File is corrupt");
      checksum = ownChecksumRule ? static_cast<std::uint8_t>(pairs[pairCount - 1] - sum)
                                 : RecordChecksum(line);
    } else {
      // Longer than any record can be; the tests still run in their order.
      if (!AllHexDigits(line)) Fail("File is corrupt");
      if (RecordChecksum(line) != hex::PairValue(text + length - 2)) Fail("Invalid checksum");
      Fail("Invalid record");
    }
    if (checksum != hex::PairValue(text + length - 2)) Fail("Invalid checksum");

    const std::uint32_t count = pairs[0];
    const std::uint32_t field = std::uint32_t{pairs[1]} << 8 | pairs[2];
    const std::uint8_t typeAsRead = pairs[3];
    if (length != 2 * count + 11) Fail("Invalid record");
    const std::uint8_t* values = pairs + 4;

    switch (typeAsRead & 0x7F) {
      case kData: {
        if (count > MaxRecLen) MaxRecLen = count;
        const std::uint32_t address = segBase + linBase + field;
        if (Segments.empty() ||
            address !=
                Segments.back().Start + static_cast<std::uint32_t>(Segments.back().Data.size())) {
          Segments.push_back(TImageSegment{address, {}});
        }
        std::vector<std::uint8_t>& bytes = Segments.back().Data;
        bytes.insert(bytes.end(), values, values + count);
        break;
      }
      case kEndOfFile:
        if (count != 0 || field != 0) Fail("File is corrupt");
        return;
      // An address record too short for its value is refused rather than
      // read from its checksum: bytes must never land at a guessed address.
      case kExtendedSegmentAddress:
        if (count < 2) Fail("Invalid record");
        segBase = BigEndian(values, 2) * 16;
        linBase = 0;
        if (AddrMode < amSegment) AddrMode = amSegment;
        break;
      case kStartSegmentAddress:
        if (count < 4) Fail("Invalid record");
        StartAddr = BigEndian(values, 4);
        if (AddrMode < amSegment) AddrMode = amSegment;
        break;
      case kExtendedLinearAddress:
        if (count < 2) Fail("Invalid record");
        linBase = BigEndian(values, 2) << 16;
        segBase = 0;
        AddrMode = amLinear;
        break;
      case kStartLinearAddress:
        if (count < 4) Fail("Invalid record");
        StartAddr = BigEndian(values, 4);
        AddrMode = amLinear;
        break;
      default: {
        char message[40];
        std::snprintf(message, sizeof message, "Record type not supported (%02X)", typeAsRead);
        Fail(message);
      }
    }
  }
}

}  // namespace velmorin
