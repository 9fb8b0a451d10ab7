#include <gtest/gtest.h>

#include <vector>

#include "base/Exceptions.h"
#include "platform/files/TextFileReader.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

std::vector<std::string> AllLines(TextFileReader& reader) {
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadLine(line)) lines.push_back(line);
  return lines;
}

struct LineCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
  friend void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
};

class LineRules : public testing::TestWithParam<LineCase> {};

TEST_P(LineRules, BufferAndFileAgree) {
  const LineCase& c = GetParam();
  auto fromBuffer = TextFileReader::FromBuffer(c.text);
  EXPECT_EQ(AllLines(fromBuffer), c.lines);

  test::TempDir dir;
  test::WriteFileBytes(dir.File("f.txt"), c.text);
  TextFileReader fromFile(dir.File("f.txt"));
  EXPECT_EQ(AllLines(fromFile), c.lines);
}

INSTANTIATE_TEST_SUITE_P(TextFileReader, LineRules,
                         testing::Values(LineCase{"Empty", "", {}},
                                         LineCase{"LfEnds", "a\nb\n", {"a", "b"}},
                                         LineCase{"CrLfEnds", "a\r\nb\r\n", {"a", "b"}},
                                         LineCase{"LastLineWithoutLf", "a\nb", {"a", "b"}},
                                         LineCase{"BlankLineCounts", "a\n\nb\n", {"a", "", "b"}},
                                         LineCase{"CrInsideDropped", "a\rb\n", {"ab"}},
                                         LineCase{"CtrlZEndsFile",
                                                  "a\nb\x1A"
                                                  "c\nd\n",
                                                  {"a", "b"}},
                                         LineCase{"CtrlZAtLineStart",
                                                  "a\n\x1A"
                                                  "b\n",
                                                  {"a"}},
                                         LineCase{"CtrlZFirst",
                                                  "\x1A"
                                                  "a\n",
                                                  {}},
                                         LineCase{"SpacesKept", " a \n", {" a "}}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(TextFileReader, LongLinesCrossBufferRefills) {
  // Longer than the reader's chunk, so a line spans several reads.
  const std::string longLine(600 * 1024, 'x');
  test::TempDir dir;
  test::WriteFileBytes(dir.File("big.txt"), "first\r\n" + longLine + "\r\nlast");
  TextFileReader reader(dir.File("big.txt"));
  const auto lines = AllLines(reader);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], longLine);
  EXPECT_EQ(lines[2], "last");
}

// A bounded read keeps the first `limit` characters of each line; the rest of
// the line, gathered from ReadRest, completes it exactly (carriage returns
// dropped wherever they stand, also across the reader's chunks).
struct BoundedCase {
  const char* name;
  std::string text;
  std::size_t limit;
  std::vector<std::string> lines;
  friend void PrintTo(const BoundedCase& c, std::ostream* os) { *os << c.name; }
};

class BoundedLines : public testing::TestWithParam<BoundedCase> {};

std::vector<std::string> KeptAndRest(TextFileReader& reader, std::size_t limit,
                                     std::vector<std::string>& kept) {
  std::vector<std::string> lines;
  std::string_view part;
  while (reader.ReadLine(part, limit)) {
    kept.emplace_back(part);
    std::string line(part);
    while (reader.ReadRest(part)) {
      EXPECT_FALSE(part.empty());
      line += part;
    }
    lines.push_back(line);
  }
  return lines;
}

TEST_P(BoundedLines, KeepTheirStartAndGiveTheRestInPieces) {
  const BoundedCase& c = GetParam();
  test::TempDir dir;
  test::WriteFileBytes(dir.File("f.txt"), c.text);
  TextFileReader fromFile(dir.File("f.txt"));
  auto fromBuffer = TextFileReader::FromBuffer(c.text);
  for (TextFileReader* reader : {&fromBuffer, &fromFile}) {
    std::vector<std::string> kept;
    EXPECT_EQ(KeptAndRest(*reader, c.limit, kept), c.lines);
    ASSERT_EQ(kept.size(), c.lines.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
      EXPECT_EQ(kept[i], c.lines[i].substr(0, c.limit)) << i;
    }
  }
}

const std::string kChunkLong(256 * 1024 + 7, 'y');

INSTANTIATE_TEST_SUITE_P(
    TextFileReader, BoundedLines,
    testing::Values(BoundedCase{"AtTheLimit", "abcde\r\nx", 5, {"abcde", "x"}},
                    BoundedCase{"OneOverTheLimit", "abcdef\r\nx", 5, {"abcdef", "x"}},
                    BoundedCase{"CrsAroundTheCut", "abcd\r\re\rfg\rh\n", 5, {"abcdefgh"}},
                    BoundedCase{"CtrlZInsideALongLine",
                                "abcdefgh\x1A"
                                "ijk\nl\n",
                                3,
                                {"abcdefgh"}},
                    BoundedCase{"LongerThanAChunk",
                                "x\n" + kChunkLong + "\r\n" + kChunkLong,
                                600,
                                {"x", kChunkLong, kChunkLong}},
                    BoundedCase{"CrsAcrossChunks",
                                kChunkLong.substr(0, 262143) + "\r\r\r" + kChunkLong + "\n",
                                262150,
                                {kChunkLong.substr(0, 262143) + kChunkLong}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(TextFileReader, RestNotAskedForIsSkipped) {
  auto reader = TextFileReader::FromBuffer("abcdef\r\ngh\n");
  std::string_view part;
  ASSERT_TRUE(reader.ReadLine(part, 2));
  EXPECT_EQ(part, "ab");
  ASSERT_TRUE(reader.ReadLine(part, 2));
  EXPECT_EQ(part, "gh");
  EXPECT_FALSE(reader.ReadRest(part));
  EXPECT_FALSE(reader.ReadLine(part, 2));
}

TEST(TextFileReader, OpenFailuresCarryTheirCodes) {
  test::TempDir dir;
  try {
    TextFileReader reader(dir.File("missing.hex"));
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 2);
    EXPECT_EQ(e.Message(), "File not found");
  }
  try {
    TextFileReader reader(dir.File("no-folder/missing.hex"));
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 3);
  }
}

TEST(TextFileReader, ReadingAFolderIsAccessDenied) {
  test::TempDir dir;
  try {
    TextFileReader reader(dir.Path().string());
    std::string line;
    reader.ReadLine(line);
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 5);
  }
}

}  // namespace
}  // namespace velmorin
