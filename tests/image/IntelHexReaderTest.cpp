#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "image/IntelImage.h"
#include "tests/image/HexTestSupport.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

using test::Lines;
using test::Record;
using Bytes = std::vector<std::uint8_t>;

const std::string kEnd = ":00000001FF";
const std::string kData16 = Record(0x00, 0x0000, test::Pattern(16, 1));

struct RejectCase {
  const char* name;
  std::string line;
  const char* message;
  friend void PrintTo(const RejectCase& c, std::ostream* os) { *os << c.name; }
};

class RejectedLine : public testing::TestWithParam<RejectCase> {};

// Each bad line comes after a good record: the read stops there with the
// message of the first test the line fails, and keeps what came before. From
// a file, long lines also cross the reader's chunks.
TEST_P(RejectedLine, FailsWithTheFirstTestsMessage) {
  const RejectCase& c = GetParam();
  const std::string text = Lines({kData16, c.line, Record(0x00, 0x100, {1, 2})});
  test::TempDir dir;
  test::WriteFileBytes(dir.File("bad.hex"), text);
  for (const bool fromFile : {false, true}) {
    TIntelImage image;
    try {
      fromFile ? image.LoadFromFile(dir.File("bad.hex")) : image.LoadFromText(text);
      ADD_FAILURE() << "accepted, fromFile " << fromFile;
    } catch (const EIntelImageError& e) {
      EXPECT_EQ(e.Message(), c.message) << "fromFile " << fromFile;
    }
    ASSERT_EQ(image.Segments.size(), 1u);
    EXPECT_EQ(image.Segments[0].Data, test::Pattern(16, 1));
  }
}

// ":" and `pairs` hex pairs whose sum is 0 (a good checksum) or 1: a line
// shaped like a record but longer than one may be when pairs > 260. The pairs
// differ, so a pair read out of step changes the sum.
std::string LongLine(std::size_t pairs, bool goodChecksum) {
  std::string line = ":";
  unsigned sum = 0;
  char pair[3];
  for (std::size_t k = 0; k + 1 < pairs; ++k) {
    const auto value = static_cast<unsigned>((k * 37 + 11) & 0xFF);
    std::snprintf(pair, sizeof pair, "%02x", value);
    line += pair;
    sum += value;
  }
  std::snprintf(pair, sizeof pair, "%02X", (-sum + (goodChecksum ? 0 : 1)) & 0xFF);
  return line + pair;
}

// Carriage returns put in after every `step` characters of `line`.
std::string WithCRs(const std::string& line, std::size_t step) {
  std::string out;
  for (std::size_t i = 0; i < line.size(); ++i) {
    out += line[i];
    if (i % step == step - 1) out += '\r';
  }
  return out;
}

// The reader's chunk is 256 KiB: lines of about 131072 pairs cross it.
constexpr std::size_t kChunkPairs = 128 * 1024;

INSTANTIATE_TEST_SUITE_P(
    LoadFromText, RejectedLine,
    testing::Values(
        RejectCase{"BlankLine", "", "Invalid file format"},
        RejectCase{"TenCharacters", ":00000001F", "Invalid file format"},
        RejectCase{"TrailingSpaceMakesEvenLength", kEnd + " ", "Invalid file format"},
        RejectCase{"TwoTrailingSpaces", kEnd + "  ", "File is corrupt"},
        RejectCase{"NoColon", ";00000001FF", "Invalid file format"},
        RejectCase{"NoColonBeforeBadDigit", "X0000000GFF", "Invalid file format"},
        RejectCase{"LeadingSpace", " :00000001FF", "Invalid file format"},
        RejectCase{"BadDigitBeforeChecksum", ":01000000G7FF", "File is corrupt"},
        RejectCase{"ColonInside", ":00000:01FF", "File is corrupt"},
        RejectCase{"ChecksumOffByOne", ":00000001FE", "Invalid checksum"},
        // Sum of the pairs only, without the two's complement.
        RejectCase{"ChecksumNotNegated", ":0100000041" + std::string("42"), "Invalid checksum"},
        RejectCase{"ChecksumBeforeCount", ":02000000AB00", "Invalid checksum"},
        RejectCase{"CountTooSmallForLength", ":0100000000AB54", "Invalid record"},
        RejectCase{"LongLineWithGoodChecksum", ":00000000" + std::string(600, '0') + "00",
                   "Invalid record"},
        RejectCase{"LongLineWithBadDigit", ":00000000" + std::string(600, '0') + "X0",
                   "File is corrupt"},
        // Lines longer than any record, judged in the same order.
        RejectCase{"JustAboveTheLongestRecord", LongLine(261, true), "Invalid record"},
        RejectCase{"LongestRecordLengthWrongCount", LongLine(260, true), "Invalid record"},
        RejectCase{"JustAboveTheLongestRecordBadChecksum", LongLine(261, false),
                   "Invalid checksum"},
        RejectCase{"LongLineOnlyItsChecksumWrong", LongLine(5000, false), "Invalid checksum"},
        RejectCase{"LongLineEvenLength", LongLine(300, true) + "0", "Invalid file format"},
        RejectCase{"LongLineEvenLengthBadDigit", LongLine(300, true) + "X", "Invalid file format"},
        RejectCase{"LongLineNoColon", "0" + LongLine(300, true).substr(1), "Invalid file format"},
        RejectCase{"LongLineBadDigitAtTheEnd", LongLine(300, true) + "0X", "File is corrupt"},
        RejectCase{"LongLineCRsKeepThePairsInStep", WithCRs(LongLine(400, true), 3),
                   "Invalid record"},
        RejectCase{"LongLineCRsDoNotCountInTheLength", WithCRs(LongLine(400, true) + "0", 1),
                   "Invalid file format"},
        RejectCase{"LongLineCtrlZEndsIt", LongLine(400, true) + "\x1A" + "0", "Invalid record"},
        RejectCase{"ChunkLongBelow", LongLine(kChunkPairs - 1, true), "Invalid record"},
        RejectCase{"ChunkLongAt", LongLine(kChunkPairs, false), "Invalid checksum"},
        RejectCase{"ChunkLongAbove", LongLine(kChunkPairs + 1, true), "Invalid record"},
        RejectCase{"TwoChunksLongCRs", WithCRs(LongLine(2 * kChunkPairs + 3, false), 1001),
                   "Invalid checksum"},
        RejectCase{"CountBeforeType", ":01000006F9", "Invalid record"},
        RejectCase{"CountBeforeEndOfFileRule", ":01000001FE", "Invalid record"},
        RejectCase{"Type06", ":00000006FA", "Record type not supported (06)"},
        RejectCase{"Type8AKeepsTopBit", ":0000008A76", "Record type not supported (8A)"},
        RejectCase{"TypeFF", ":000000FF01", "Record type not supported (FF)"},
        RejectCase{"EndOfFileWithAddress", ":00000101FE", "File is corrupt"},
        RejectCase{"EndOfFileWithData", ":0100000100FE", "File is corrupt"},
        // Address records too short for their value are refused.
        RejectCase{"ShortExtendedSegment", Record(0x02, 0, {0x10}), "Invalid record"},
        RejectCase{"ShortStartSegment", Record(0x03, 0, {1, 2, 3}), "Invalid record"},
        RejectCase{"EmptyExtendedLinear", Record(0x04, 0, {}), "Invalid record"},
        RejectCase{"ShortStartLinear", Record(0x85, 0, {1, 2, 3}), "Invalid record"}),
    [](const auto& testCase) { return testCase.param.name; });

struct AcceptCase {
  const char* name;
  std::string text;
  std::vector<TImageSegment> segments;
  std::uint32_t maxRecLen;
  TAddrMode mode;
  std::uint32_t startAddr = 0;
  friend void PrintTo(const AcceptCase& c, std::ostream* os) { *os << c.name; }
};

class AcceptedFile : public testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptedFile, GivesTheseSegmentsAndForm) {
  const AcceptCase& c = GetParam();
  TIntelImage image;
  image.LoadFromText(c.text);
  ASSERT_EQ(image.Segments.size(), c.segments.size());
  for (std::size_t i = 0; i < c.segments.size(); ++i) {
    EXPECT_EQ(image.Segments[i].Start, c.segments[i].Start) << i;
    EXPECT_EQ(image.Segments[i].Data, c.segments[i].Data) << i;
  }
  EXPECT_EQ(image.MaxRecLen, c.maxRecLen);
  EXPECT_EQ(image.AddrMode, c.mode);
  EXPECT_EQ(image.StartAddr, c.startAddr);
}

const Bytes kA = test::Pattern(16, 11);
const Bytes kB = test::Pattern(16, 12);
const Bytes kC = test::Pattern(8, 13);
Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    LoadFromText, AcceptedFile,
    testing::Values(
        AcceptCase{"EmptyFile", "", {}, 0, amNone},
        AcceptCase{"OnlyEndOfFile", kEnd + "\r\n", {}, 0, amNone},
        AcceptCase{"NothingAfterEndOfFileIsRead",
                   Lines({kEnd, "garbage", Record(0, 0, kA)}),
                   {},
                   0,
                   amNone},
        AcceptCase{"NoEndOfFileAndNoLastLineFeed",
                   Record(0, 0, kA) + "\n" + Record(0, 0x10, kB),
                   {{0, Join(kA, kB)}},
                   16,
                   amNone},
        AcceptCase{"LowerCaseDigits",
                   ":04100a00a1b2c3d4f8\n",
                   {{0x100A, {0xA1, 0xB2, 0xC3, 0xD4}}},
                   4,
                   amNone},
        AcceptCase{"RunsJoinAndAGapSplits",
                   Lines({Record(0, 0, kA), Record(0, 0x10, kB), Record(0, 0x30, kC), kEnd}),
                   {{0, Join(kA, kB)}, {0x30, kC}},
                   16,
                   amNone},
        AcceptCase{"DownwardRecordsStayInFileOrder",
                   Lines({Record(0, 0x10, kA), Record(0, 0, kB)}),
                   {{0x10, kA}, {0, kB}},
                   16,
                   amNone},
        AcceptCase{"Type80IsData", Lines({Record(0x80, 0x20, kC)}), {{0x20, kC}}, 8, amNone},
        AcceptCase{"ExtendedLinear",
                   Lines({":020000040001F9", Record(0, 0, kC)}),
                   {{0x10000, kC}},
                   8,
                   amLinear},
        AcceptCase{"ExtendedSegment",
                   Lines({":020000021000EC", Record(0, 0, kC)}),
                   {{0x10000, kC}},
                   8,
                   amSegment},
        AcceptCase{"SegmentAfterLinearClearsLinearBase",
                   Lines({":020000040001F9", Record(0x02, 0, {0x01, 0x00}), Record(0, 0x0004, kC)}),
                   {{0x1004, kC}},
                   8,
                   amLinear},
        AcceptCase{"LinearAfterSegmentClearsSegmentBase",
                   Lines({":020000021000EC", Record(0x04, 0, {0x00, 0x02}), Record(0, 0x0004, kC)}),
                   {{0x20004, kC}},
                   8,
                   amLinear},
        AcceptCase{"RunContinuesAcrossAWindow",
                   Lines({Record(0, 0xFFF0, kA), ":020000040001F9", Record(0, 0, kB)}),
                   {{0xFFF0, Join(kA, kB)}},
                   16,
                   amLinear},
        AcceptCase{"EmptyDataRecordAppendsAnEmptySegment",
                   Lines({Record(0, 0, kC), Record(0, 0x40, {}), Record(0, 0x08, kC)}),
                   {{0, kC}, {0x40, {}}, {0x08, kC}},
                   8,
                   amNone},
        AcceptCase{"EmptyDataRecordOnlyRaisesNothing",
                   Lines({Record(0, 0x40, {})}),
                   {{0x40, {}}},
                   0,
                   amNone},
        AcceptCase{"CtrlZAtLineStartEndsTheFile",
                   Record(0, 0, kC) + "\r\n\x1A" + "garbage\r\n",
                   {{0, kC}},
                   8,
                   amNone},
        AcceptCase{"StartLinearAddress", Lines({":0400000500001234B1"}), {}, 0, amLinear, 0x1234},
        AcceptCase{"StartSegmentAddressWithLongerCount",
                   Lines({Record(0x03, 0, {0x12, 0x34, 0x56, 0x78, 0x9A})}),
                   {},
                   0,
                   amSegment,
                   0x12345678},
        AcceptCase{"StartSegmentDoesNotLowerLinearMode",
                   Lines({":0400000500001234B1", Record(0x03, 0, {0, 0, 0x56, 0x78})}),
                   {},
                   0,
                   amLinear,
                   0x5678},
        AcceptCase{
            "RecordsOf255Bytes",
            Lines({Record(0, 0, test::Pattern(255, 3)), Record(0, 255, test::Pattern(5, 4))}),
            {{0, Join(test::Pattern(255, 3), test::Pattern(5, 4))}},
            255,
            amNone},
        AcceptCase{"LongestRecordWithCRsInside",
                   WithCRs(Record(0, 0, test::Pattern(255, 5)), 7) + "\n",
                   {{0, test::Pattern(255, 5)}},
                   255,
                   amNone},
        AcceptCase{"AddressWrapsPastTheTop",
                   Lines({":02000004FFFFFC", Record(0, 0xFFF8, kA)}),
                   {{0xFFFFFFF8, kA}},
                   16,
                   amLinear}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(LoadFromFile, MissingFileAndMissingFolder) {
  test::TempDir dir;
  struct {
    std::string path;
    int code;
    const char* message;
  } cases[] = {{dir.File("none.hex"), 2, "File not found"},
               {dir.File("no-folder/x.hex"), 3, "Invalid filename"}};
  for (const auto& c : cases) {
    TIntelImage image;
    try {
      image.LoadFromFile(c.path);
      ADD_FAILURE() << "no error for " << c.path;
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code);
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(LoadFromFile, ReadsTheFileAsTheTextReaderDoes) {
  test::TempDir dir;
  // Bigger than one read chunk of the file reader, with mixed line ends.
  std::string text;
  Bytes all;
  for (std::uint32_t address = 0; address < 0x60000; address += 32) {
    if (address % 0x10000 == 0) {
      text += Record(0x04, 0, {0, static_cast<std::uint8_t>(address >> 16)}) + "\n";
    }
    const Bytes bytes = test::Pattern(32, address);
    all.insert(all.end(), bytes.begin(), bytes.end());
    text += Record(0, static_cast<std::uint16_t>(address), bytes) + (address % 64 ? "\r\n" : "\n");
  }
  test::WriteFileBytes(dir.File("big.hex"), text + kEnd);
  TIntelImage image;
  image.LoadFromFile(dir.File("big.hex"));
  ASSERT_EQ(image.Segments.size(), 1u);
  EXPECT_EQ(image.Segments[0].Data, all);
  EXPECT_EQ(image.MaxRecLen, 32u);
  EXPECT_EQ(image.AddrMode, amLinear);
}

// Most lines are found from their count straight in the reader's buffer, and
// the buffer holds one chunk of the file at a time. A line that a chunk's end
// cuts must read as it does from memory, wherever the cut falls in it and
// whatever stands there: nothing unusual, a carriage return of its own, a
// character that isn't a digit, or a Ctrl-Z that ends the data.
TEST(LoadFromFile, ALineCutByTheEndOfAChunkReadsAsFromMemory) {
  constexpr std::size_t kChunk = 256 * 1024;
  test::TempDir dir;
  const std::string path = dir.File("cut.hex");
  for (const std::size_t recordSize : {std::size_t{16}, std::size_t{255}}) {
    const std::size_t lineLength = 2 * recordSize + 13;  // with CR LF
    std::string records;
    std::size_t dataBytes = 1;  // the first line's
    for (std::size_t i = 0; records.size() < kChunk + 2 * lineLength;
         ++i, dataBytes += recordSize) {
      const auto address = static_cast<std::uint16_t>(i * recordSize);
      records += Record(0x00, address, test::Pattern(recordSize, static_cast<std::uint32_t>(i)));
      records += "\r\n";
    }
    records += kEnd + "\r\n";
    for (std::size_t shift = 0; shift < lineLength; ++shift) {
      // Carriage returns in the first line move the cut through the records.
      if (recordSize > 16 && shift % 5 && shift > 20 && shift + 20 < lineLength) continue;
      const std::string plain =
          Record(0x00, 0xF000, {1}) + std::string(shift, '\r') + "\n" + records;
      for (const char put : {'\0', '\r', 'X', '\x1A'}) {
        std::string text = plain;
        if (put) text.insert(kChunk, 1, put);
        test::WriteFileBytes(path, text);
        std::string fromFile = "read";
        std::string fromText = "read";
        TIntelImage imageFromFile;
        TIntelImage imageFromText;
        try {
          imageFromFile.LoadFromFile(path);
        } catch (const EIntelImageError& e) {
          fromFile = e.Message();
        }
        try {
          imageFromText.LoadFromText(text);
        } catch (const EIntelImageError& e) {
          fromText = e.Message();
        }
        const auto where = testing::Message() << "record size " << recordSize << ", shift " << shift
                                              << ", put " << int(put);
        ASSERT_EQ(fromFile, fromText) << where;
        ASSERT_EQ(imageFromFile.Segments.size(), imageFromText.Segments.size()) << where;
        for (std::size_t i = 0; i < imageFromFile.Segments.size(); ++i) {
          ASSERT_EQ(imageFromFile.Segments[i].Start, imageFromText.Segments[i].Start) << where;
          ASSERT_TRUE(imageFromFile.Segments[i].Data == imageFromText.Segments[i].Data) << where;
        }
        if (!put) {
          std::size_t held = 0;
          for (const TImageSegment& segment : imageFromFile.Segments) held += segment.Data.size();
          ASSERT_EQ(held, dataBytes) << where;
        }
      }
    }
  }
}

TEST(LoadFromFile, AddsToWhatTheImageHoldsAndResetsTheForm) {
  TIntelImage image;
  image.Segments.push_back({0x500, {1}});
  image.StartAddr = 0x99;
  image.AddrMode = amLinear;
  image.LoadFromText(Lines({Record(0, 0x501, {2})}));
  EXPECT_EQ(image.Segments.size(), 1u);
  EXPECT_EQ(image.Segments[0].Data, (Bytes{1, 2}));
  EXPECT_EQ(image.StartAddr, 0x99u);
  EXPECT_EQ(image.AddrMode, amNone);
  EXPECT_EQ(image.MaxRecLen, 1u);
}

// Lines for `size` bytes from `start` in records of 16, with the extended
// linear address records they need.
std::vector<std::string> RunOfRecords(std::uint32_t start, std::size_t size) {
  std::vector<std::string> lines;
  const Bytes bytes = test::Pattern(size, start);
  for (std::size_t offset = 0; offset < size; offset += 16) {
    const auto address = static_cast<std::uint32_t>(start + offset);
    if (offset == 0 || (address & 0xFFFF) == 0) {
      lines.push_back(Record(
          4, 0,
          {static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16)}));
    }
    lines.push_back(Record(0, static_cast<std::uint16_t>(address),
                           Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + 16))));
  }
  return lines;
}

// Room a segment was given for records that never came goes back when the
// segment is complete: a segment keeps at most an eighth of its size spare,
// however much of the file followed it.
TEST(LoadFromText, CompleteSegmentsKeepLittleSpareRoom) {
  const struct {
    const char* name;
    std::vector<std::pair<std::uint32_t, std::size_t>> runs;  // start, size
  } cases[] = {
      {"one-record segments going down", {{0x3000, 16}, {0x2000, 16}, {0x1000, 16}}},
      {"a doubling segment, then another", {{0x1000, 1616}, {0x9000, 16}}},
      {"a long segment with room for the file's rest, then another",
       {{0x100000, 1536 * 1024}, {0x800000, 1536 * 1024}}},
      {"a long segment ended by the end of the file", {{0, 1536 * 1024 + 16}}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines;
    for (const auto& [start, size] : c.runs) {
      const std::vector<std::string> run = RunOfRecords(start, size);
      lines.insert(lines.end(), run.begin(), run.end());
    }
    lines.push_back(kEnd);
    TIntelImage image;
    image.LoadFromText(Lines(lines));
    ASSERT_EQ(image.Segments.size(), c.runs.size()) << c.name;
    for (std::size_t i = 0; i < c.runs.size(); ++i) {
      const std::vector<std::uint8_t>& data = image.Segments[i].Data;
      EXPECT_EQ(data, test::Pattern(c.runs[i].second, c.runs[i].first)) << c.name;
      EXPECT_LE(data.capacity() - data.size(), data.size() / 8) << c.name << ", segment " << i;
    }
  }
}

TEST(RecordChecksum, IsTheTwosComplementOfThePairsBetweenColonAndLastTwo) {
  const TIntelImage image;
  EXPECT_EQ(image.RecordChecksum(":0400000500001234B1"), 0xB1);
  EXPECT_EQ(image.RecordChecksum(":040000050000123400"), 0xB1);  // placeholder ignored
  EXPECT_EQ(image.RecordChecksum(":00000001FF"), 0xFF);
  EXPECT_EQ(image.RecordChecksum(":020000040001F9"), 0xF9);
  EXPECT_EQ(image.RecordChecksum(":0000000000"), 0x00);   // sum 0 gives 0, not 256
  EXPECT_EQ(image.RecordChecksum(":010000000FF"), 0xFF);  // even length: 4 pairs
  EXPECT_EQ(image.RecordChecksum(":FF"), 0x00);           // no pairs
  EXPECT_EQ(image.RecordChecksum(""), 0x00);
  EXPECT_EQ(image.FixChecksum(":0400000300001234"
                              "00"),
            ":0400000300001234B3");
  EXPECT_EQ(image.FixChecksum(":10FFF000000102030405060708090A0B0C0D0E0F"
                              "xx"),
            ":10FFF000000102030405060708090A0B0C0D0E0F89");
}

// A class that replaces the checksum rule: the reader and writer follow it.
class ZeroChecksumImage : public TIntelImage {
 public:
  std::uint8_t RecordChecksum(std::string_view) const override { return 0; }
};

TEST(RecordChecksum, DerivedRuleIsUsedByReaderAndWriter) {
  ZeroChecksumImage image;
  EXPECT_THROW(image.LoadFromText(Lines({Record(0, 0, {1, 2, 3})})), EIntelImageError);
  image.Segments.clear();
  image.LoadFromText(
      ":030000000102030"
      "0\r\n");
  ASSERT_EQ(image.Segments.size(), 1u);
  EXPECT_EQ(image.Segments[0].Data, (Bytes{1, 2, 3}));
  EXPECT_EQ(image.SaveToText(),
            ":03000000010203"
            "00\r\n:00000001FF\r\n");
}

}  // namespace
}  // namespace velmorin
