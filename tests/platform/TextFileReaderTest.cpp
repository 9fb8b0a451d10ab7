#include "TextFileReader.h"

#include <gtest/gtest.h>

#include <vector>

#include "Exceptions.h"
#include "TempDir.h"

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

INSTANTIATE_TEST_SUITE_P(
    TextFileReader, LineRules,
    testing::Values(LineCase{"Empty", "", {}},
                    LineCase{"LfEnds", "a\nb\n", {"a", "b"}},
                    LineCase{"CrLfEnds", "a\r\nb\r\n", {"a", "b"}},
                    LineCase{"LastLineWithoutLf", "a\nb", {"a", "b"}},
                    LineCase{"BlankLineCounts", "a\n\nb\n", {"a", "", "b"}},
                    LineCase{"CrInsideDropped", "a\rb\n", {"ab"}},
                    LineCase{"CtrlZEndsFile", "a\nb\x1A" "c\nd\n", {"a", "b"}},
                    LineCase{"CtrlZAtLineStart", "a\n\x1A" "b\n", {"a"}},
                    LineCase{"CtrlZFirst", "\x1A" "a\n", {}},
                    LineCase{"SpacesKept", " a \n", {" a "}}),
    [](const auto& info) { return std::string(info.param.name); });

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
