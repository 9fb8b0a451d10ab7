// The production record's line format and its file: what a spreadsheet or a
// CSV reader gets, and what is left after a torn write or a refused one.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "serialize/ProductionLog.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

TEST(ProductionLogLine, FieldsAreQuotedOnlyWhereCsvNeedsIt) {
  const struct {
    std::string text;
    std::string field;
  } cases[] = {
      {"/fw/board.hex", "/fw/board.hex"},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\rhere", "\"cr\rhere\""},
      {"Ann's Out/b_1.hex", "Ann's Out/b_1.hex"},
  };
  for (const auto& c : cases) EXPECT_EQ(ProductionLog::CsvField(c.text), c.field) << c.text;
}

TEST(ProductionLogLine, EveryColumnInItsPlace) {
  ProductionEntry entry;
  entry.Skeleton = "/fw/board,rev2.hex";
  entry.Serial = -5;
  entry.OutputFile = "/out/board,rev2_-5.hex";
  entry.Fate = SerialFate::BurnerFailed;
  entry.ExitCode = 4294967295u;
  const std::string line = ProductionLog::FormatLine(entry, 0, "station-1");
  const std::regex expected(
      R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d,station-1,"/fw/board,rev2.hex",-5,)"
      R"("/out/board,rev2_-5.hex",burner failed,4294967295,\r\n)");
  EXPECT_TRUE(std::regex_match(line, expected)) << line;

  entry.Fate = SerialFate::Error;
  entry.ExitCode.reset();
  entry.OutputFile.clear();
  entry.Message = "Invalid filename";
  EXPECT_NE(ProductionLog::FormatLine(entry, 0, "s").find(",,error,,Invalid filename\r\n"),
            std::string::npos);
}

TEST(ProductionLogFile, RelativeNameCountsFromTheIniFolder) {
  test::TempDir dir;
  const ProductionLog log("records/line1.csv", dir.File("velmorin.ini"));
  EXPECT_EQ(std::filesystem::path(log.FileName()),
            (dir.Path() / "records" / "line1.csv").lexically_normal());
  const std::string absolute = dir.File("abs.csv");
  EXPECT_EQ(ProductionLog(absolute, "/elsewhere/velmorin.ini").FileName(), absolute);
}

TEST(ProductionLogFile, NewFileGetsTheHeaderAndLaterLinesAppend) {
  test::TempDir dir;
  const ProductionLog log("record.csv", dir.File("velmorin.ini"));
  ProductionEntry entry;
  entry.Skeleton = "board.hex";
  entry.Serial = 7;
  log.Append(entry);
  entry.Serial = 8;
  log.Append(entry);
  const std::string text = ReadFileBytes(log.FileName());
  const std::string header = std::string(ProductionLog::kHeader) + "\r\n";
  ASSERT_EQ(text.substr(0, header.size()), header);
  EXPECT_EQ(text.find(header, 1), std::string::npos) << "header written twice";
  EXPECT_NE(text.find(",board.hex,7,"), std::string::npos);
  EXPECT_NE(text.find(",board.hex,8,"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST(ProductionLogFile, TornLastLineIsEndedBeforeTheNextOne) {
  test::TempDir dir;
  const ProductionLog log("record.csv", dir.File("velmorin.ini"));
  const std::string torn =
      std::string(ProductionLog::kHeader) + "\r\n2026-01-01T00:00:00+00:00,st,b";
  WriteFileBytes(log.FileName(), torn);
  ProductionEntry entry;
  entry.Serial = 9;
  log.Append(entry);
  const std::string text = ReadFileBytes(log.FileName());
  ASSERT_EQ(text.substr(0, torn.size() + 2), torn + "\r\n");
  EXPECT_NE(text.find(",9,", torn.size()), std::string::npos);
}

TEST(ProductionLogFile, UnwritableRecordNamesItsPath) {
  test::TempDir dir;
  // A folder where the file should be, and a file whose folder is missing.
  std::filesystem::create_directory(dir.File("taken.csv"));
  for (const std::string& name : {dir.File("taken.csv"), dir.File("missing/record.csv")}) {
    const ProductionLog log(name, dir.File("velmorin.ini"));
    try {
      log.Append(ProductionEntry{});
      ADD_FAILURE() << name << " was written";
    } catch (const EProductionLogError& e) {
      EXPECT_EQ(e.Message(), "Unable to write to " + log.FileName());
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

}  // namespace
}  // namespace velmorin
