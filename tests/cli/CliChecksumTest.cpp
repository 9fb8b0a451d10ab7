// The checksum regions through the real velmorin-cli, as the README walks
// through them: a bootloader's CRC-32 over 0x08000000-0x0801FFFB stored at
// 0x0801FFFC, set and shown, every image of a batch carrying a right CRC
// (checked by the checksum command and, where present, by srec_cat), and a
// skeleton whose CRC disagrees refused before the number is taken.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "image/ChecksumKind.h"
#include "image/IntelImage.h"
#include "tests/cli/CliRunner.h"
#include "tests/image/ChecksumTestSupport.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::CliResult;

constexpr std::uint32_t kFlash = 0x08000000;
constexpr std::uint32_t kSize = 0x20000;  // 128 KiB, the CRC in its last 4 bytes

// The application as its build leaves it: random code with its CRC-32
// (computed bit by bit) lsb first at the end; with `spoil`, one byte changed
// after the CRC was written.
void WriteApplication(const std::string& path, bool spoil) {
  std::vector<std::uint8_t> bytes = test::RandomBytes(kSize, 29);
  const std::uint32_t crc =
      test::BitwiseCrc(*ChecksumKindInfoOf(ChecksumKind::Crc32).Crc,
                       std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 4));
  for (std::size_t i = 0; i < 4; ++i)
    bytes[kSize - 4 + i] = static_cast<std::uint8_t>(crc >> 8 * i);
  if (spoil) bytes[0x1000] ^= 0x40;
  TIntelImage image;
  image.AddrMode = amLinear;
  image.Segments.push_back({kFlash, bytes});
  image.SaveToFile(path);
}

class CliChecksumTest : public test::CliFixture {
 protected:
  CliChecksumTest() : CliFixture(16) {}

  void SetUp() override {
    CliFixture::SetUp();
    WriteApplication(skeleton, false);
    ASSERT_EQ(Cli({"add", skeleton, "NextSeqNum=1000", "SeqNumSize=4", "ByteOrder=1",
                   "SeqNumOfs1=0x08000200", "OutputFolder=" + dir.Path().string()})
                  .exitCode,
              0);
    test::WriteFileBytes(ini, IniText() + "[Options]\r\nProductionLog=record.csv\r\n");
  }

  // velmorin-cli checksum over the README's range of `file`, compared at 0x0801FFFC.
  CliResult Check(const std::string& file) {
    return test::RunCli({{"checksum", file, "--kind", "crc32", "--from", "0x08000000", "--to",
                          "0x0801FFFB", "--at", "0x0801FFFC"},
                         "",
                         ""});
  }
};

TEST_F(CliChecksumTest, TheWorkedExampleStampsARightCrcIntoEveryImage) {
  const CliResult set = Cli({"set", skeleton, "ChecksumKind1=CRC32", "ChecksumFrom1=0x08000000",
                             "ChecksumTo1=0x0801FFFB", "ChecksumAt1=134348796"});
  ASSERT_EQ(set.exitCode, 0) << set.err;
  const std::string shown = Cli({"show", skeleton}).out;
  EXPECT_NE(shown.find("DontSave=0\nChecksumKind1=crc32\nChecksumFrom1=0x08000000\n"
                       "ChecksumTo1=0x0801FFFB\nChecksumAt1=0x0801FFFC\n"),
            std::string::npos)
      << shown;
  const auto json = nlohmann::json::parse(Cli({"show", skeleton, "--json"}).out)["settings"];
  EXPECT_EQ(json["ChecksumAt1"], 0x0801FFFC);
  EXPECT_EQ(json["ChecksumKind1"], "crc32");

  const CliResult batch = Cli({"serialize", skeleton, "--count", "3"});
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  for (const char* name : {"board_1000.hex", "board_1001.hex", "board_1002.hex"}) {
    const CliResult checked = Check(dir.File(name));
    EXPECT_EQ(checked.exitCode, 0) << name << ": " << checked.out << checked.err;
  }
  // The serial is where it was asked for, and nothing but it and the CRC changed.
  TIntelImage image;
  image.LoadFromFile(dir.File("board_1001.hex"));
  ASSERT_EQ(image.Segments.size(), 1u);
  EXPECT_EQ(image.Segments[0].Data.size(), kSize);
  TIntelImage original;
  original.LoadFromFile(skeleton);
  std::vector<std::uint32_t> changed;
  for (std::uint32_t at = kFlash; at < kFlash + kSize; ++at) {
    if (image.GetByte(at) != original.GetByte(at)) changed.push_back(at);
  }
  EXPECT_LE(changed.size(), 8u);
  for (const std::uint32_t at : changed) {
    EXPECT_TRUE((at >= 0x08000200 && at < 0x08000204) || at >= 0x0801FFFC) << std::hex << at;
  }
  EXPECT_EQ(image.GetByte(0x08000200), 1001u & 0xFF);

#ifndef _WIN32  // srec_cat is a Debian tool, run through a POSIX shell
  // srec_cat computes the CRC-32 of the same range on its own; the image's
  // last four bytes must equal it.
  if (std::system("command -v srec_cat >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "srec_cat is not installed here (scripts/setup installs it)";
  }
  const std::string peer = dir.File("peer.hex");
  const std::string command = "srec_cat " + dir.File("board_1002.hex") +
                              " -intel -crop 0x08000000 0x0801FFFC -crc32-l-e 0x0801FFFC -crop "
                              "0x0801FFFC 0x08020000 -o " +
                              peer + " -intel";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  TIntelImage fromPeer;
  fromPeer.LoadFromFile(peer);
  image.LoadFromFile(dir.File("board_1002.hex"));
  for (std::uint32_t at = 0x0801FFFC; at < 0x08020000; ++at) {
    EXPECT_EQ(fromPeer.GetByte(at), image.GetByte(at)) << std::hex << at;
  }
#endif
}

// A wrong range, or a build that changed the image after its CRC: exit 1 and
// the message naming both values, no number taken, no file, no record line.
TEST_F(CliChecksumTest, ASkeletonWhoseCrcDisagreesTakesNoNumber) {
  ASSERT_EQ(Cli({"set", skeleton, "ChecksumKind1=crc32", "ChecksumFrom1=0x08000000",
                 "ChecksumTo1=0x0801FFFB", "ChecksumAt1=0x0801FFFC"})
                .exitCode,
            0);
  WriteApplication(skeleton, true);
  const std::string before = IniText();
  const CliResult check = Check(skeleton);
  EXPECT_EQ(check.exitCode, 1) << check.out;

  const CliResult refused = Cli({"serialize", skeleton, "--count", "2", "--json"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err.rfind("velmorin-cli: The skeleton's checksum 1 at 0x0801FFFC reads 0x", 0),
            0u)
      << refused.err;
  EXPECT_NE(refused.err.find(", but crc32 over 0x08000000-0x0801FFFB gives 0x"), std::string::npos)
      << refused.err;
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(IniText(), before);
  EXPECT_FALSE(fs::exists(dir.File("board_1000.hex")));
  EXPECT_FALSE(fs::exists(dir.File("record.csv")));

  // Settings the road could not keep are refused with exit 2, touching nothing.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"set", skeleton, "ChecksumAt1=0x08000100"},
        {"set", skeleton, "SeqNumOfs1=0x0801FFFE"},
        {"set", skeleton, "ChecksumKind2=crc64"},
        {"set", skeleton, "ChecksumByteOrder1=big"},
        {"set", skeleton, "ChecksumFill1=256"},
        {"set", skeleton, "ChecksumKind1=crc32-stm32", "ChecksumTo1=0x0801FFFA"},
        {"set", skeleton, "ChecksumTo1=0x07FFFFFF"}}) {
    const CliResult result = Cli(args);
    EXPECT_EQ(result.exitCode, 2) << args[2] << ": " << result.err;
    EXPECT_EQ(IniText(), before) << args[2];
  }
}

}  // namespace
}  // namespace velmorin
