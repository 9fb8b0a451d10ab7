// Writing Intel HEX in the form of the file that was read: records of the same
// length, the same start address and the same kind of extended addressing.
//
// A data record's address field holds 16 bits, so every record must lie inside
// the 64 KiB window above the current base. The base moves (with an extended
// address record) wherever the next record would start outside the window, and
// a record that would run past the window's end is cut there; the rest goes on
// in the next window. Records otherwise keep their places every MaxRecLen bytes
// from the segment's start, so a file read with equal records comes back the
// same. Whether the image can be written at all is settled before the first
// line, and the file appears under its name only when it is complete.
#include <algorithm>
#include <memory>
#include <typeinfo>

#include "image/HexDigits.h"
#include "image/IntelImage.h"
#include "platform/files/AtomicFileWriter.h"

namespace velmorin {

namespace {
constexpr std::uint32_t kWindowSize = 0x10000;
// Segment addressing reaches at most segment FFFF, offset FFFF.
constexpr std::uint32_t kHighestSegmentBase = 0xFFFF0;
constexpr std::uint32_t kHighestSegmentAddress = kHighestSegmentBase + 0xFFFF;

[[noreturn]] void FailFormat() {
  throw EIntelImageError("Invalid image format");
}

// Record length used for writing. A length of 0 comes from a file of empty
// data records only, which has no length to copy: 16, the length most tools
// write and every programmer accepts. A record can't carry more than 255.
std::size_t RecordLength(std::uint32_t maxRecLen) {
  if (maxRecLen == 0) return 16;
  return std::min<std::uint32_t>(maxRecLen, 255);
}

// The base of the window that takes `address`, in the image's address mode.
std::uint32_t BaseFor(TAddrMode mode, std::uint32_t address) {
  switch (mode) {
    case amLinear:
      return address & 0xFFFF0000u;
    case amSegment:
      if (address < 0x100000) return address & 0xFFFF0000u;
      if (address <= kHighestSegmentAddress) return kHighestSegmentBase;
      FailFormat();
    case amNone:
      break;
  }
  FailFormat();
}

// Walks the records the image is written as: onBase(base) for each extended
// address record, onData(segment, offset, count, field) for each data record.
// Raises "Invalid image format" where a byte can't be addressed (CheckWritable
// finds that before the first line).
template <class OnBase, class OnData>
void WalkRecords(const TIntelImage& image, OnBase&& onBase, OnData&& onData) {
  const std::size_t recordLength = RecordLength(image.MaxRecLen);
  std::uint32_t base = 0;
  auto enterWindow = [&](std::uint32_t address) {
    if (address - base < kWindowSize) return;
    base = BaseFor(image.AddrMode, address);
    onBase(base);
  };
  for (const TImageSegment& segment : image.Segments) {
    enterWindow(segment.Start);
    const std::size_t length = segment.Data.size();
    std::size_t gridEnd = recordLength;  // where the record under way ends at the latest
    for (std::size_t offset = 0; offset < length;) {
      const std::uint32_t address = segment.Start + static_cast<std::uint32_t>(offset);
      enterWindow(address);
      const std::size_t roomInWindow = kWindowSize - (address - base);
      const std::size_t count = std::min(std::min(gridEnd, length) - offset, roomInWindow);
      onData(segment, offset, count, static_cast<std::uint16_t>(address - base));
      offset += count;
      if (offset == gridEnd) gridEnd += recordLength;
    }
  }
}

// Where the writer puts its lines. A line is built in place, in the room the
// sink gives (Room: room for a line of at most `size` characters and its line
// end; Put: ends the line of `size` characters written there), so no record
// is copied on its way out.
//
// Builds the lines straight into large blocks for the file, sparing a call
// and a copy per line.
class FileSink {
 public:
  explicit FileSink(AtomicFileWriter& file) : FFile(file), FBlock(new char[kBlockSize]) {}
  char* Room(std::size_t size) {
    if (FUsed + size + 2 > kBlockSize) Flush();
    return FBlock.get() + FUsed;
  }
  void Put(std::size_t size) {
    char* end = FBlock.get() + FUsed + size;
    end[0] = '\r';
    end[1] = '\n';
    FUsed += size + 2;
  }
  void Flush() {
    FFile.Write(std::string_view(FBlock.get(), FUsed));
    FUsed = 0;
  }

 private:
  // Large enough for the file writer to pass each block straight to the file.
  static constexpr std::size_t kBlockSize = 256 * 1024;
  AtomicFileWriter& FFile;
  std::unique_ptr<char[]> FBlock;
  std::size_t FUsed = 0;
};

class TextSink {
 public:
  explicit TextSink(std::string& text) : FText(text) {}
  char* Room(std::size_t size) {
    FText.resize(FDone + size + 2);
    return FText.data() + FDone;
  }
  void Put(std::size_t size) {
    FText.resize(FDone + size);
    FText.append("\r\n");
    FDone = FText.size();
  }

 private:
  std::string& FText;
  std::size_t FDone = FText.size();  // the text's length up to the last line put
};
}  // namespace

void TIntelImage::CheckWritable() const {
  if (StartAddr != 0 && AddrMode == amNone) FailFormat();
  // The highest address the mode can put in a record; linear addressing
  // reaches every address.
  std::uint64_t highest;
  switch (AddrMode) {
    case amNone:
      highest = 0xFFFF;
      break;
    case amSegment:
      highest = kHighestSegmentAddress;
      break;
    default:
      return;
  }
  for (const TImageSegment& segment : Segments) {
    const std::uint64_t last = std::uint64_t{segment.Start} + segment.Data.size();
    if (segment.Start > highest || last > highest + 1) FailFormat();
  }
}

template <class Sink>
void TIntelImage::WriteRecords(Sink& sink) const {
  // Records are built with "00" in the checksum's place and completed by
  // FixChecksum. When this object's class keeps the standard checksum rule, the
  // sum is taken while the record is built instead, which spares a second
  // parse and a string per record.
  const bool ownChecksumRule = typeid(*this) == typeid(TIntelImage);
  // Builds the record ":" count address type bytes "00" in the sink's room
  // and puts it out.
  auto putRecord = [&](std::uint8_t type, std::uint16_t field, const std::uint8_t* bytes,
                       std::size_t count) {
    char* const record = sink.Room(2 * count + 11);
    record[0] = ':';
    unsigned sum = static_cast<unsigned>(count) + (field >> 8) + (field & 0xFF) + type;
    hex::PutPair(record + 1, static_cast<std::uint8_t>(count));
    hex::PutPair(record + 3, static_cast<std::uint8_t>(field >> 8));
    hex::PutPair(record + 5, static_cast<std::uint8_t>(field));
    hex::PutPair(record + 7, type);
    sum += hex::EncodeBytes(bytes, count, record + 9);
    char* const out = record + 9 + 2 * count;
    const auto length = static_cast<std::size_t>(out + 2 - record);
    if (ownChecksumRule) {
      hex::PutPair(out, static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    } else {
      out[0] = out[1] = '0';
      // A replaced rule may change the line's length: it then gets room anew.
      const std::string fixed = FixChecksum(std::string_view(record, length));
      fixed.copy(fixed.size() > length ? sink.Room(fixed.size()) : record, fixed.size());
      sink.Put(fixed.size());
      return;
    }
    sink.Put(length);
  };
  auto bigEndian = [](std::uint32_t value, std::uint8_t* bytes, int size) {
    for (int i = size - 1; i >= 0; --i, value >>= 8) bytes[i] = static_cast<std::uint8_t>(value);
  };

  std::uint8_t value[4];
  if (StartAddr != 0) {
    bigEndian(StartAddr, value, 4);
    putRecord(AddrMode == amSegment ? 0x03 : 0x05, 0, value, 4);
  }
  WalkRecords(
      *this,
      [&](std::uint32_t base) {
        if (AddrMode == amSegment) {
          bigEndian(base >> 4, value, 2);
          putRecord(0x02, 0, value, 2);
        } else {
          bigEndian(base >> 16, value, 2);
          putRecord(0x04, 0, value, 2);
        }
      },
      [&](const TImageSegment& segment, std::size_t offset, std::size_t count,
          std::uint16_t field) { putRecord(0x00, field, segment.Data.data() + offset, count); });
  constexpr std::string_view kEndOfFile = ":00000001FF";
  kEndOfFile.copy(sink.Room(kEndOfFile.size()), kEndOfFile.size());
  sink.Put(kEndOfFile.size());
}

void TIntelImage::SaveToFile(const std::string& fileName) {
  SaveToFile(fileName, Durability::Synced);
}

void TIntelImage::SaveToFile(const std::string& fileName, Durability durability) {
  // Creating the file comes first, so a bad path is reported before a bad
  // image; nothing reaches the target's name unless the whole file is written,
  // and then only once it is on disk: a burner, a re-burn or an archive never
  // finds an empty image under a valid name, not even after a power cut.
  AtomicFileWriter file(fileName, durability);
  CheckWritable();
  FileSink sink(file);
  WriteRecords(sink);
  sink.Flush();
  file.Commit();
}

std::string TIntelImage::SaveToText() const {
  CheckWritable();
  std::string text;
  TextSink sink(text);
  WriteRecords(sink);
  return text;
}

}  // namespace velmorin
