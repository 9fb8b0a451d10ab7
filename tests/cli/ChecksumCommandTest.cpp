// velmorin-cli checksum, run in-process: the catalogue's listing (text and
// JSON), the value over a range of a real Intel HEX file, the comparison
// with the value stored at --at and its exit code, and the arguments it
// refuses before reading anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <tuple>

#include "cli/CliApp.h"
#include "cli/ExitCode.h"
#include "image/ChecksumKind.h"
#include "image/ImageChecksum.h"
#include "image/IntelImage.h"
#include "tests/support/TempDir.h"

namespace velmorin::cli {
namespace {

struct Ran {
  int code;
  std::string out;
  std::string err;
};

Ran RunChecksum(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "checksum");
  std::FILE* out = std::tmpfile();
  CliApp app;
  app.RegisterStandardCommands();
  testing::internal::CaptureStderr();
  const int code = app.Run(arguments, out);
  Ran ran{code, {}, testing::internal::GetCapturedStderr()};
  std::rewind(out);
  for (int c; (c = std::fgetc(out)) != EOF;) ran.out += static_cast<char>(c);
  std::fclose(out);
  return ran;
}

TEST(ChecksumCommand, ListsTheCatalogue) {
  const Ran text = RunChecksum({"--list"});
  EXPECT_EQ(text.code, kExitDone);
  for (const ChecksumKindInfo& info : ChecksumCatalogue()) {
    EXPECT_NE(text.out.find(std::string("\n") + info.Name + " "), std::string::npos) << info.Name;
  }
  EXPECT_NE(
      text.out.find("0x04C11DB7  0xFFFFFFFF  in+out   0xFFFFFFFF  0xCBF43926  CRC-32/ISO-HDLC"),
      std::string::npos)
      << text.out;

  const nlohmann::json list = nlohmann::json::parse(RunChecksum({"--list", "--json"}).out);
  ASSERT_EQ(list.size(), ChecksumCatalogue().size());
  const auto crc32 = list[0];
  EXPECT_EQ(std::make_tuple(crc32["name"], crc32["width"], crc32["polynomial"], crc32["check"],
                            crc32["reflect_in"]),
            std::make_tuple("crc32", 4, "0x04C11DB7", "0xCBF43926", true));
  EXPECT_EQ(list[3]["name"], "crc32-stm32");
  EXPECT_TRUE(list[3]["check"].is_null());
  EXPECT_EQ(list[3]["little_endian_words"], true);
  EXPECT_EQ(std::make_tuple(list[9]["name"], list[9]["polynomial"], list[9]["check"]),
            std::make_tuple("crc8", "0x07", "0xF4"));
  EXPECT_FALSE(list[10].contains("polynomial"));  // sum8
}

class ChecksumOfFile : public testing::Test {
 protected:
  void SetUp() override {
    // A bootloader's application: CRC-32 over 0x08000000-0x0801FFFB, stored
    // at 0x0801FFFC least significant byte first; a hole in the middle.
    TIntelImage image;
    image.AddrMode = amLinear;
    image.Segments.push_back({0x08000000, std::vector<std::uint8_t>(0x10000, 0x5A)});
    image.Segments.push_back({0x08018000, std::vector<std::uint8_t>(0x7FFC, 0xA5)});
    FValue = ComputeChecksum(image, ChecksumKind::Crc32, 0x08000000, 0x0801FFFB, 0xFF);
    WriteChecksum(image, {ChecksumKind::Crc32, 0x08000000, 0x0801FFFB, 0x0801FFFC}, FValue);
    image.SaveToFile(FFile);
  }

  // checksum FILE --kind CRC32 --from 0x08000000 --to 0x0801FFFB with
  // `more`, which may give one of those three anew.
  Ran Run(const std::vector<std::string>& more = {}) {
    std::vector<std::string> arguments{FFile,        "--kind", "CRC32",     "--from",
                                       "0x08000000", "--to",   "0x0801FFFB"};
    for (std::size_t i = 0; i < more.size(); ++i) {
      const auto given = std::find(arguments.begin(), arguments.end(), more[i]);
      if (given != arguments.end() && i + 1 < more.size()) {
        *(given + 1) = more[++i];
      } else {
        arguments.push_back(more[i]);
      }
    }
    return RunChecksum(arguments);
  }

  test::TempDir FDir;
  std::string FFile = FDir.File("app.hex");
  std::uint32_t FValue = 0;
};

TEST_F(ChecksumOfFile, PrintsTheValueAndComparesItWithTheStoredOne) {
  const std::string value = ChecksumValueText(FValue, 4);
  const std::string computed = "crc32 over 0x08000000-0x0801FFFB gives " + value + "\n";
  struct Case {
    std::vector<std::string> more;
    int code;
    std::string out;
  };
  const Case cases[] = {
      {{}, kExitDone, computed},
      {{"--at", "0x0801FFFC"},
       kExitDone,
       computed + "at 0x0801FFFC (lsb first) the file holds " + value + ": they agree\n"},
      // Read the other way round, it differs.
      {{"--at", "0x0801FFFC", "--msb"},
       kExitError,
       computed + "at 0x0801FFFC (msb first) the file holds " +
           ChecksumValueText(__builtin_bswap32(FValue), 4) + ": they differ\n"},
      // The hole read as zeros gives another value.
      {{"--at", "0x0801FFFC", "--fill", "0"}, kExitError, ""},
      {{"--at", "0x08020000"},
       kExitError,
       computed + "at 0x08020000 (lsb first) the file holds no 4 bytes of data\n"},
  };
  for (const Case& c : cases) {
    const Ran ran = Run(c.more);
    EXPECT_EQ(ran.code, c.code) << testing::PrintToString(c.more) << ran.err;
    if (!c.out.empty()) {
      EXPECT_EQ(ran.out, c.out);
    }
  }
}

TEST_F(ChecksumOfFile, RefusesArgumentsBeforeReading) {
  struct Case {
    std::vector<std::string> more;
    const char* message;
  };
  const Case cases[] = {
      {{"--kind", "crc64"}, "--kind \"crc64\" is no checksum kind"},
      {{"--from", "start"}, "--from \"start\" is no 32-bit number"},
      {{"--to", "0x07FFFFFF"}, "The range 0x08000000-0x07FFFFFF ends before it starts."},
      {{"--kind", "crc32-stm32", "--to", "0x08000002"},
       "crc32-stm32 reads 32-bit words, but 0x08000000-0x08000002 holds 3 bytes"},
      {{"--fill", "256"}, "--fill \"256\" is above 0xFF"},
      {{"--at", "0xFFFFFFFE"}, "--at 0xFFFFFFFE: the 4-byte result would run past 0xFFFFFFFF"},
      {{"--msb"}, "--msb tells how"},
      {{"--json"}, "--json goes with --list"},
  };
  for (const Case& c : cases) {
    const Ran ran = Run(c.more);
    EXPECT_EQ(ran.code, kExitUsage) << c.message;
    EXPECT_NE(ran.err.find(c.message), std::string::npos) << c.message << ": " << ran.err;
  }
  EXPECT_EQ(RunChecksum({"--kind", "crc32"}).code, kExitUsage);  // no FILE
  const Ran missing =
      RunChecksum({FDir.File("none.hex"), "--kind", "crc32", "--from", "0", "--to", "3"});
  EXPECT_EQ(missing.code, kExitError);
  EXPECT_NE(missing.err.find("Skeleton file not found."), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace velmorin::cli
