// Reading Intel HEX: each line is tested in a fixed order, and the first test
// that fails ends the read with its message, so an operator always gets the
// same answer for the same broken file. The file is streamed line by line
// through the text reader's fixed buffer: neither the whole text nor a whole
// line is ever held, so a line gigabytes long costs no more memory than a
// record.
#include <algorithm>
#include <cstdio>
#include <new>
#include <typeinfo>

#include "image/HexDigits.h"
#include "image/IntelImage.h"
#include "platform/files/TextFileReader.h"

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

// From this size on, a segment is taken for a long run of records.
constexpr std::size_t kLongSegment = std::size_t{1} << 20;

// Room for `count` more bytes in the segment being read, which took
// `segmentText` characters of the file so far; `restOfFile` are still to
// come. A new segment gets room for its first record alone, and the room
// doubles while records keep extending it. A long segment gets room for the
// rest of the file at the density it has had, and a sixteenth more, in one
// step: copying and faulting in a large segment over and over costs more than
// reading it. The room never exceeds what the rest of the file can add (two
// characters per byte at the most).
void MakeRoom(std::vector<std::uint8_t>& bytes, std::size_t count, std::uint64_t restOfFile,
              std::uint64_t segmentText) {
  const std::size_t needed = bytes.size() + count;
  std::size_t wanted = std::max(needed, 2 * bytes.capacity());
  if (bytes.size() >= kLongSegment && segmentText > 0) {
    const double density = static_cast<double>(bytes.size()) / static_cast<double>(segmentText);
    const auto projected =
        needed + static_cast<std::size_t>(density * static_cast<double>(restOfFile));
    wanted = std::max(wanted, projected + projected / 16);
  }
  // A file that grew since its opening goes on past its limit; growing by half
  // at least then keeps the read linear.
  const std::size_t fileLimit = needed + static_cast<std::size_t>(restOfFile / 2);
  wanted = std::min(wanted, std::max(fileLimit, needed + needed / 2));
  try {
    bytes.reserve(wanted);
  } catch (const std::bad_alloc&) {
    // Address space is short: room for this record alone may still be there.
    bytes.reserve(needed);
  }
}

// From this many segments on, a file is taken for one of many segments.
constexpr std::size_t kManySegments = 4096;
// The shortest line a data record takes: ":", 5 pairs and a line feed.
constexpr std::uint64_t kShortestRecordLine = 12;

// Room in a full list of segments for those still to come. A file that has
// started many segments is taken to go on as it began: the list gets room for
// the rest of the file at the rate of segments so far, and a sixteenth more,
// in one step, instead of moving every segment at each doubling. Like a
// segment's room, the list's never exceeds what the rest of the file can add.
void MakeRoomForSegments(std::vector<TImageSegment>& segments, std::uint64_t textRead,
                         std::uint64_t restOfFile) {
  const std::size_t size = segments.size();
  std::size_t wanted = std::max<std::size_t>(2 * size, 16);
  if (size >= kManySegments && textRead > 0) {
    const double rate = static_cast<double>(size) / static_cast<double>(textRead);
    const auto projected = size + static_cast<std::size_t>(rate * static_cast<double>(restOfFile));
    wanted = std::max(wanted, projected + projected / 16);
  }
  const std::size_t fileLimit =
      size + 1 + static_cast<std::size_t>(restOfFile / kShortestRecordLine);
  wanted = std::min(wanted, std::max(fileLimit, size + size / 2));
  try {
    segments.reserve(wanted);
  } catch (const std::bad_alloc&) {
    // Address space is short: the list grows the ordinary way, if it can.
  }
}

// Kept out of line: where the compiler sees how small a record's count is, it
// copies the bytes with an inlined "rep movs", slow to start for so few
// bytes; the library's memmove isn't.
[[gnu::noinline]] void AppendBytes(std::vector<std::uint8_t>& bytes, const std::uint8_t* values,
                                   std::size_t count) {
  bytes.insert(bytes.end(), values, values + count);
}

// A segment that another follows is complete, as is the last one at the end
// of the file: room kept for records that never came goes back, unless it is
// little beside the segment (as the margin of a long one is).
void GiveBackRoom(std::vector<std::uint8_t>& bytes) {
  if (bytes.capacity() - bytes.size() > bytes.size() / 8) bytes.shrink_to_fit();
}

[[noreturn]] void Fail(const char* message) {
  throw EIntelImageError(message);
}

// Characters kept of a line: one more than the longest record, so that any
// line the reader keeps whole can be a record and any longer one can't.
constexpr std::size_t kKeptLength = 2 * kMaxPairs + 1 + 1;

// Judges a line longer than any record while it streams past: the same tests
// in the same order as for a record, on its full length, first character,
// digits and checksum. Such a line is never a record, so it always fails;
// the checksum is the standard rule's (a line this long can't be handed to a
// replaced rule whole).
class LongLineJudge {
 public:
  void Feed(std::string_view piece) {
    std::size_t i = 0;
    if (FLength == 0 && !piece.empty()) {
      FColon = piece[0] == ':';
      i = 1;
    }
    // Once a character isn't a digit, only the length's parity decides.
    if (FAllDigits) {
      for (; i < piece.size(); ++i) {
        const int value = hex::kDigitValue[static_cast<unsigned char>(piece[i])];
        if (value < 0) {
          FAllDigits = false;
          break;
        }
        // Characters at odd positions begin a pair, at even ones end it.
        if ((FLength + i) % 2) {
          FHigh = value;
        } else {
          FSum += static_cast<unsigned>(FHigh << 4 | value);
        }
      }
    }
    FLength += piece.size();
  }
  // Whether the outcome can't change, whatever follows.
  bool Settled() const { return FLength > 0 && !FColon; }
  [[noreturn]] void Fail() const {
    if (!FColon || FLength % 2 == 0) throw EIntelImageError("Invalid file format");
    if (!FAllDigits) throw EIntelImageError("File is corrupt");
    // All pairs, the checksum's included, sum to 0 in a valid record.
    if (FSum & 0xFF) throw EIntelImageError("Invalid checksum");
    throw EIntelImageError("Invalid record");
  }

 private:
  std::uint64_t FLength = 0;
  bool FColon = false;
  bool FAllDigits = true;
  int FHigh = 0;
  unsigned FSum = 0;
};

// The longest line a record can be, and its line end.
constexpr std::size_t kMaxRecordLine = 2 * kMaxPairs + 1;

// Gives the next line and its pairs decoded into `pairs`, with their sum in
// `sum`; false at the end of the data. Raises the errors of the tests before
// the checksum's: length and first character, then the digits.
// Most lines are found straight in the reader's buffer: a ":" and digits only
// up to a line feed (or CR LF) just where the record's count puts its end.
// Such a line holds no line end or carriage return of its own, so it is the
// line the reader would give, and it is decoded without a search for its end.
// Any other line takes the reader's way, which keeps every line rule.
bool ReadRecordLine(TextFileReader& reader, std::string_view& line, std::uint8_t* pairs,
                    unsigned& sum) {
  sum = 0;
  const std::string_view ahead = reader.Peek(kMaxRecordLine + 2);
  if (ahead.size() > 11 && ahead[0] == ':') {
    const int high = hex::kDigitValue[static_cast<unsigned char>(ahead[1])];
    const int low = hex::kDigitValue[static_cast<unsigned char>(ahead[2])];
    const std::size_t length = 2 * static_cast<std::size_t>(high << 4 | low) + 11;
    if ((high | low) >= 0 && length < ahead.size()) {
      std::size_t lineEnd = 0;
      if (ahead[length] == '\n') {
        lineEnd = length + 1;
      } else if (ahead[length] == '\r' && length + 1 < ahead.size() && ahead[length + 1] == '\n') {
        lineEnd = length + 2;
      }
      if (lineEnd && hex::DecodePairs(ahead.data() + 1, (length - 1) / 2, pairs, sum)) {
        line = ahead.substr(0, length);
        reader.Skip(lineEnd);
        return true;
      }
      sum = 0;
    }
  }

  if (!reader.ReadLine(line, kKeptLength)) return false;
  const std::size_t length = line.size();
  if (length == kKeptLength) {
    LongLineJudge judge;
    judge.Feed(line);
    for (std::string_view piece; !judge.Settled() && reader.ReadRest(piece);) judge.Feed(piece);
    judge.Fail();
  }
  if (length < 11 || length % 2 == 0 || line[0] != ':') Fail("Invalid file format");
  // Decode every pair once, noting any character that isn't a digit.
  if (!hex::DecodePairs(line.data() + 1, (length - 1) / 2, pairs, sum)) Fail("File is corrupt");
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
  std::string_view line;
  std::uint8_t pairs[kMaxPairs];
  unsigned sum = 0;
  bool ended = false;
  // How much of the file was still to come at the start, and when the last
  // segment began.
  const std::uint64_t fileSize = reader.RemainingSize();
  std::uint64_t segmentStart = 0;
  while (!ended && ReadRecordLine(reader, line, pairs, sum)) {
    const std::size_t length = line.size();
    const std::size_t pairCount = (length - 1) / 2;
    const std::uint8_t checksum = ownChecksumRule
                                      ? static_cast<std::uint8_t>(pairs[pairCount - 1] - sum)
                                      : RecordChecksum(line);
    if (checksum != pairs[pairCount - 1]) Fail("Invalid checksum");

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
          if (!Segments.empty()) GiveBackRoom(Segments.back().Data);
          segmentStart = reader.RemainingSize();
          if (Segments.size() == Segments.capacity()) {
            MakeRoomForSegments(Segments, fileSize > segmentStart ? fileSize - segmentStart : 0,
                                segmentStart);
          }
          Segments.push_back(TImageSegment{address, {}});
        }
        std::vector<std::uint8_t>& bytes = Segments.back().Data;
        if (bytes.capacity() - bytes.size() < count) {
          const std::uint64_t restOfFile = reader.RemainingSize();
          MakeRoom(bytes, count, restOfFile,
                   segmentStart > restOfFile ? segmentStart - restOfFile : 0);
        }
        AppendBytes(bytes, values, count);
        break;
      }
      case kEndOfFile:
        if (count != 0 || field != 0) Fail("File is corrupt");
        ended = true;
        break;
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
  if (!Segments.empty()) GiveBackRoom(Segments.back().Data);
  // The list gives back room for segments that never came, as a segment does.
  if (Segments.capacity() - Segments.size() > Segments.size() / 8) Segments.shrink_to_fit();
}

}  // namespace velmorin
