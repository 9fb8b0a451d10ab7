#include <gtest/gtest.h>

#include <filesystem>

#include "base/Exceptions.h"
#include "image/IntelImage.h"
#include "tests/image/HexTestSupport.h"
#include "tests/support/ScopedFilePermissions.h"
#include "tests/support/SystemSkip.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

using test::Lines;
using test::Record;
using Bytes = std::vector<std::uint8_t>;

const std::string kEnd = ":00000001FF";

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t to) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

TIntelImage ImageOf(TAddrMode mode, std::uint32_t maxRecLen, std::vector<TImageSegment> segments,
                    std::uint32_t startAddr = 0) {
  TIntelImage image;
  image.AddrMode = mode;
  image.MaxRecLen = maxRecLen;
  image.StartAddr = startAddr;
  image.Segments = std::move(segments);
  return image;
}

const Bytes k40 = test::Pattern(40, 1);
const Bytes k16 = test::Pattern(16, 2);
const Bytes k600 = test::Pattern(600, 3);
const Bytes k300 = test::Pattern(300, 4);

struct WriteCase {
  const char* name;
  TIntelImage image;
  std::vector<std::string> lines;
  friend void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }
};

class Written : public testing::TestWithParam<WriteCase> {};

// The exact lines, and a read of them gives back every byte at its address.
TEST_P(Written, AsTheseLinesThatReadBackTheSame) {
  const WriteCase& c = GetParam();
  const std::string text = c.image.SaveToText();
  EXPECT_EQ(text, Lines(c.lines));
  TIntelImage again;
  again.LoadFromText(text);
  EXPECT_EQ(test::BytesOf(again), test::BytesOf(c.image));
  EXPECT_EQ(again.StartAddr, c.image.StartAddr);
}

INSTANTIATE_TEST_SUITE_P(
    SaveToText, Written,
    testing::Values(
        WriteCase{"CutEveryMaxRecLen",
                  ImageOf(amNone, 16, {{0x100, k40}}),
                  {Record(0, 0x100, Slice(k40, 0, 16)), Record(0, 0x110, Slice(k40, 16, 32)),
                   Record(0, 0x120, Slice(k40, 32, 40)), kEnd}},
        WriteCase{"NothingButEndOfFile", ImageOf(amLinear, 16, {}), {kEnd}},
        WriteCase{"LinearStartAddressFirst",
                  ImageOf(amLinear, 16, {}, 0x1234),
                  {":0400000500001234B1", kEnd}},
        WriteCase{"SegmentStartAddressFirst",
                  ImageOf(amSegment, 16, {{0, {0xAB}}}, 0x1234),
                  {":0400000300001234B3", ":01000000AB54", kEnd}},
        WriteCase{"LinearBaseBeforeASegmentAt30000",
                  ImageOf(amLinear, 16, {{0x30000, k16}}),
                  {":020000040003F7", Record(0, 0, k16), kEnd}},
        WriteCase{"NoBaseRecordForTheFirstWindow",
                  ImageOf(amLinear, 16, {{0, k16}, {0x10000, k16}}),
                  {Record(0, 0, k16), ":020000040001F9", Record(0, 0, k16), kEnd}},
        WriteCase{"SegmentBaseAt12345",
                  ImageOf(amSegment, 16, {{0x12345, k16}}),
                  {":020000021000EC", Record(0, 0x2345, k16), kEnd}},
        WriteCase{
            "DownwardSegmentsMoveTheBaseBack",
            ImageOf(amLinear, 16, {{0x10000, k16}, {0, k16}}),
            {":020000040001F9", Record(0, 0, k16), ":020000040000FA", Record(0, 0, k16), kEnd}},
        WriteCase{"LinearRunCutAtTheWindowEnd",
                  ImageOf(amLinear, 16, {{0xFFF8, k16}}),
                  {Record(0, 0xFFF8, Slice(k16, 0, 8)), ":020000040001F9",
                   Record(0, 0, Slice(k16, 8, 16)), kEnd}},
        WriteCase{"SegmentRunCutAtTheWindowEnd",
                  ImageOf(amSegment, 16, {{0x1FFF8, k16}}),
                  {":020000021000EC", Record(0, 0xFFF8, Slice(k16, 0, 8)),
                   Record(0x02, 0, {0x20, 0x00}), Record(0, 0, Slice(k16, 8, 16)), kEnd}},
        // Only the record that crosses is cut; the others keep their places.
        WriteCase{"CutKeepsTheRecordGrid",
                  ImageOf(amLinear, 255, {{0xFF00, k600}}),
                  {Record(0, 0xFF00, Slice(k600, 0, 255)), Record(0, 0xFFFF, Slice(k600, 255, 256)),
                   ":020000040001F9", Record(0, 0x0000, Slice(k600, 256, 510)),
                   Record(0, 0x00FE, Slice(k600, 510, 600)), kEnd}},
        WriteCase{"RunPastTheTopGoesOnAtZero",
                  ImageOf(amLinear, 16, {{0xFFFFFFF8, k16}}),
                  {":02000004FFFFFC", Record(0, 0xFFF8, Slice(k16, 0, 8)), ":020000040000FA",
                   Record(0, 0, Slice(k16, 8, 16)), kEnd}},
        // Segment addressing reaches up to FFFF:FFFF (0x10FFEF).
        WriteCase{
            "SegmentFFFFAboveOneMiB",
            ImageOf(amSegment, 16, {{0xFFFF8, k16}, {0x10FFE0, k16}}),
            {":02000002F0000C", Record(0, 0xFFF8, Slice(k16, 0, 8)), Record(0x02, 0, {0xFF, 0xFF}),
             Record(0, 0x0010, Slice(k16, 8, 16)), Record(0, 0xFFF0, k16), kEnd}},
        // No record length to copy: 16 per record.
        WriteCase{"MaxRecLenZero",
                  ImageOf(amNone, 0, {{0, k40}}),
                  {Record(0, 0, Slice(k40, 0, 16)), Record(0, 0x10, Slice(k40, 16, 32)),
                   Record(0, 0x20, Slice(k40, 32, 40)), kEnd}},
        WriteCase{"MaxRecLenAbove255",
                  ImageOf(amNone, 1000, {{0, k300}}),
                  {Record(0, 0, Slice(k300, 0, 255)), Record(0, 255, Slice(k300, 255, 300)), kEnd}},
        WriteCase{"EmptySegmentMovesTheBaseOnly",
                  ImageOf(amLinear, 16, {{0x20000, {}}}),
                  {":020000040002F8", kEnd}},
        // As read from records that go down and cover one another: written in
        // list order, so the later bytes win again on reading.
        WriteCase{"OverlapWrittenInListOrder",
                  ImageOf(amNone, 16, {{0x08, k16}, {0x00, Slice(k40, 0, 12)}}),
                  {Record(0, 0x08, k16), Record(0, 0x00, Slice(k40, 0, 12)), kEnd}}),
    [](const auto& testCase) { return testCase.param.name; });

struct RefuseCase {
  const char* name;
  TIntelImage image;
  friend void PrintTo(const RefuseCase& c, std::ostream* os) { *os << c.name; }
};

class Refused : public testing::TestWithParam<RefuseCase> {};

// An image that can't be written in its address mode produces no file at all,
// and an older file of that name stays as it was.
TEST_P(Refused, RaisesInvalidImageFormatBeforeWritingAnything) {
  const RefuseCase& c = GetParam();
  test::TempDir dir;
  const std::string target = dir.File("out.hex");
  test::WriteFileBytes(target, "old contents\n");
  try {
    TIntelImage image = c.image;
    image.SaveToFile(target);
    FAIL() << "written";
  } catch (const EIntelImageError& e) {
    EXPECT_EQ(e.Message(), "Invalid image format");
  }
  EXPECT_EQ(test::ReadFileBytes(target), "old contents\n");
  EXPECT_EQ(test::EntriesIn(dir.Path()), 1);
  EXPECT_THROW(c.image.SaveToText(), EIntelImageError);
}

INSTANTIATE_TEST_SUITE_P(
    SaveToFile, Refused,
    testing::Values(
        RefuseCase{"StartAddressWithoutAddressMode", ImageOf(amNone, 16, {}, 5)},
        RefuseCase{"NoModeSegmentAbove64KiB", ImageOf(amNone, 16, {{0x10000, k16}})},
        RefuseCase{"NoModeSecondSegmentAbove64KiB",
                   ImageOf(amNone, 16, {{0, k16}, {0x10000, k16}})},
        RefuseCase{"NoModeRunPast64KiB", ImageOf(amNone, 16, {{0xFFF8, k16}})},
        RefuseCase{"NoModeEmptySegmentAbove64KiB", ImageOf(amNone, 16, {{0x10000, {}}})},
        RefuseCase{"SegmentModePastFFFFFFFF", ImageOf(amSegment, 16, {{0x10FFF0, k16}})},
        RefuseCase{"SegmentModeAt2MiB", ImageOf(amSegment, 16, {{0x200000, {1}}})}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(SaveToText, StretchedBytesAreWrittenAsZeros) {
  TIntelImage image = ImageOf(amNone, 16, {{0x10, {1, 2}}});
  image.SetByte(0x15, 0xEE);
  EXPECT_EQ(image.SaveToText(), Lines({Record(0, 0x10, {1, 2, 0, 0, 0, 0xEE}), kEnd}));
}

TEST(SaveToText, StartAddressZeroWritesNoRecord) {
  TIntelImage image;
  image.LoadFromText(Lines({":0400000500000000F7", Record(0, 0, {7}), kEnd}));
  EXPECT_EQ(image.SaveToText(), Lines({Record(0, 0, {7}), kEnd}));
}

TEST(SaveToText, ReadAndWrittenFileOfEqualRecordsComesBackLineForLine) {
  // Four 16-byte records at 0000-003F, nothing else.
  std::vector<std::string> plain;
  for (std::uint16_t a = 0; a < 0x40; a += 16) plain.push_back(Record(0, a, test::Pattern(16, a)));
  plain.push_back(kEnd);
  // 32-byte records with a start address, several runs and windows.
  std::vector<std::string> linear{Record(0x05, 0, {0x00, 0x02, 0x01, 0x00})};
  for (std::uint32_t a = 0x1FF80; a < 0x20080; a += 32) {
    if (a == 0x1FF80 || a == 0x20000) linear.push_back(Record(0x04, 0, {0, std::uint8_t(a >> 16)}));
    linear.push_back(Record(0, std::uint16_t(a), test::Pattern(32, a)));
  }
  linear.push_back(Record(0, 0x4000, test::Pattern(32, 7)));
  linear.push_back(Record(0, 0x4020, test::Pattern(5, 8)));
  linear.push_back(kEnd);
  for (const auto& lines : {plain, linear}) {
    TIntelImage image;
    image.LoadFromText(Lines(lines));
    EXPECT_EQ(image.SaveToText(), Lines(lines));
  }
}

TEST(SaveToText, UpperCaseDigitsAndCrLfLines) {
  TIntelImage image = ImageOf(amLinear, 255, {{0xABCDEF, test::Pattern(1000, 9)}}, 0xFEDCBA98);
  const std::string text = image.SaveToText();
  EXPECT_EQ(text.find_first_of("abcdef"), std::string::npos);
  std::size_t lines = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++lines;
      EXPECT_EQ(text[i - 1], '\r') << i;
    }
  }
  EXPECT_EQ(lines, test::SplitLines(text).size());
  EXPECT_EQ(text.back(), '\n');
}

TEST(SaveToFile, WritesWhatSaveToTextGivesAndReplacesTheOldFile) {
  test::TempDir dir;
  const std::string target = dir.File("out.hex");
  test::WriteFileBytes(target, "old");
  TIntelImage image = ImageOf(amSegment, 32, {{0x1FF00, test::Pattern(700, 5)}}, 0x00400100);
  image.SaveToFile(target);
  EXPECT_EQ(test::ReadFileBytes(target), image.SaveToText());
  EXPECT_EQ(test::EntriesIn(dir.Path()), 1);
}

TEST(SaveToFile, MissingFolderIsAnInvalidFilename) {
  test::TempDir dir;
  TIntelImage image = ImageOf(amNone, 16, {{0, {1}}});
  try {
    image.SaveToFile(dir.File("missing/out.hex"));
    FAIL() << "written";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 3);
    EXPECT_EQ(e.Message(), "Invalid filename");
  }
  // The file is created before the image is judged: a bad path is reported first.
  TIntelImage unwritable = ImageOf(amNone, 16, {{0x10000, {1}}});
  EXPECT_THROW(unwritable.SaveToFile(dir.File("missing/out.hex")), EInOutError);
}

TEST(SaveToFile, ReadOnlyFolderLeavesTheOldFile) {
  VELMORIN_SKIP_ON_WINDOWS(test::kFolderAttributeAllowsNewFiles);
  test::TempDir dir;
  const std::string target = dir.File("out.hex");
  test::WriteFileBytes(target, "old");
  std::filesystem::permissions(
      dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  TIntelImage image = ImageOf(amNone, 16, {{0, {1}}});
  {
    test::ScopedFilePermissions enforce;
    try {
      image.SaveToFile(target);
      ADD_FAILURE() << "written";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), 5);
    }
  }
  EXPECT_EQ(test::ReadFileBytes(target), "old");
  EXPECT_EQ(test::EntriesIn(dir.Path()), 1);
}

}  // namespace
}  // namespace velmorin
