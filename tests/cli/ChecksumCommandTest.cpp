// velmorin-cli checksum, run in-process: the catalogue's listing (text and
// JSON), the value over a range of a real Intel HEX file, the comparison
// with the value stored at --at and its exit code, and the arguments it
// refuses before reading anything.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "cli/ChecksumCommand.h"
#include "cli/ExitCode.h"
#include "cli/UsageError.h"
#include "image/ChecksumKind.h"
#include "image/ImageChecksum.h"
#include "image/IntelImage.h"
#include "tests/support/TempDir.h"

namespace velmorin::cli {
namespace {

struct Ran {
  int code;
  std::string out;
};

Ran RunChecksum(const ChecksumRequest& request) {
  std::ostringstream out;
  const int code = ChecksumCommand(request).Run(out);
  return {code, out.str()};
}

TEST(ChecksumCommand, ListsTheCatalogue) {
  ChecksumRequest request;
  request.List = true;
  const Ran text = RunChecksum(request);
  EXPECT_EQ(text.code, kExitDone);
  for (const ChecksumKindInfo& info : ChecksumCatalogue()) {
    EXPECT_NE(text.out.find(std::string("\n") + info.Name + " "), std::string::npos) << info.Name;
  }
  EXPECT_NE(
      text.out.find("0x04C11DB7  0xFFFFFFFF  in+out   0xFFFFFFFF  0xCBF43926  CRC-32/ISO-HDLC"),
      std::string::npos)
      << text.out;

  request.Json = true;
  const nlohmann::json list = nlohmann::json::parse(RunChecksum(request).out);
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
    FRequest.File = FFile;
    FRequest.Kind = "CRC32";
    FRequest.From = "0x08000000";
    FRequest.To = "0x0801FFFB";
  }

  test::TempDir FDir;
  std::string FFile = FDir.File("app.hex");
  std::uint32_t FValue = 0;
  ChecksumRequest FRequest;
};

TEST_F(ChecksumOfFile, PrintsTheValueAndComparesItWithTheStoredOne) {
  const std::string value = ChecksumValueText(FValue, 4);
  Ran ran = RunChecksum(FRequest);
  EXPECT_EQ(ran.code, kExitDone);
  EXPECT_EQ(ran.out, "crc32 over 0x08000000-0x0801FFFB gives " + value + "\n");

  FRequest.At = "0x0801FFFC";
  ran = RunChecksum(FRequest);
  EXPECT_EQ(ran.code, kExitDone);
  EXPECT_EQ(ran.out, "crc32 over 0x08000000-0x0801FFFB gives " + value +
                         "\nat 0x0801FFFC (lsb first) the file holds " + value + ": they agree\n");

  FRequest.MsbFirst = true;  // read the other way round, it differs
  ran = RunChecksum(FRequest);
  EXPECT_EQ(ran.code, kExitError);
  EXPECT_NE(ran.out.find("(msb first) the file holds "), std::string::npos);
  EXPECT_NE(ran.out.find(": they differ\n"), std::string::npos);

  FRequest.MsbFirst = false;
  FRequest.Fill = "0";  // the hole read as zeros gives another value
  ran = RunChecksum(FRequest);
  EXPECT_EQ(ran.code, kExitError);

  FRequest.Fill = "0xFF";
  FRequest.At = "0x08020000";  // no data there
  ran = RunChecksum(FRequest);
  EXPECT_EQ(ran.code, kExitError);
  EXPECT_NE(ran.out.find("at 0x08020000 (lsb first) the file holds no 4 bytes of data"),
            std::string::npos);
}

TEST_F(ChecksumOfFile, RefusesArgumentsBeforeReading) {
  struct Case {
    const char* name;
    void (*change)(ChecksumRequest&);
    const char* message;
  };
  const Case cases[] = {
      {"kind", [](ChecksumRequest& r) { r.Kind = "crc64"; },
       "--kind \"crc64\" is no checksum kind"},
      {"from", [](ChecksumRequest& r) { r.From = "start"; },
       "--from \"start\" is no 32-bit number"},
      {"order", [](ChecksumRequest& r) { r.To = "0x07FFFFFF"; },
       "The range 0x08000000-0x07FFFFFF ends before it starts."},
      {"words",
       [](ChecksumRequest& r) {
         r.Kind = "crc32-stm32";
         r.To = "0x08000002";
       },
       "crc32-stm32 reads 32-bit words, but 0x08000000-0x08000002 holds 3 bytes"},
      {"fill", [](ChecksumRequest& r) { r.Fill = "256"; }, "--fill \"256\" is above 0xFF"},
      {"top", [](ChecksumRequest& r) { r.At = "0xFFFFFFFE"; },
       "--at 0xFFFFFFFE: the 4-byte result would run past 0xFFFFFFFF"},
      {"msb alone", [](ChecksumRequest& r) { r.MsbFirst = true; }, "--msb tells how"},
      {"no file", [](ChecksumRequest& r) { r.File.clear(); }, "checksum needs a FILE, or --list"},
  };
  for (const Case& c : cases) {
    ChecksumRequest request = FRequest;
    c.change(request);
    try {
      RunChecksum(request);
      ADD_FAILURE() << c.name << " was taken";
    } catch (const EUsageError& error) {
      EXPECT_NE(error.Message().find(c.message), std::string::npos)
          << c.name << ": " << error.Message();
    }
  }
  ChecksumRequest missing = FRequest;
  missing.File = FDir.File("none.hex");
  EXPECT_THROW(RunChecksum(missing), Exception);
}

}  // namespace
}  // namespace velmorin::cli
