// The checksum region keys of a profile: read from and written to a real INI
// file (absent keys stay absent, the file byte for byte as it was), one key
// set from text, and every refused setting refused with its key named.
#include <gtest/gtest.h>

#include "platform/ini/IniFile.h"
#include "profiles/ChecksumRegions.h"
#include "profiles/ProfileKeys.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

const std::string kSection = "/fw/board.hex";

class ChecksumRegionsTest : public testing::Test {
 protected:
  // The INI file holding `lines` under the profile's section.
  IniFile::Contents Ini(const std::string& lines) {
    test::WriteFileBytes(FPath, "[" + kSection + "]\r\nNextSeqNum=5\r\n" + lines);
    return IniFile(FPath).Read();
  }
  // The message Decode raises for `lines`, or "" when it takes them.
  std::string DecodeRefusal(const std::string& lines) {
    try {
      DecodeChecksumRegions(Ini(lines), kSection);
    } catch (const EProfileValueError& error) {
      return error.Message();
    }
    return "";
  }

  test::TempDir FDir;
  std::string FPath = FDir.File("velmorin.ini");
};

TEST_F(ChecksumRegionsTest, KeysReadBackAsTheyWereWritten) {
  // Without the keys: no region, and nothing to write.
  EXPECT_EQ(DecodeChecksumRegions(Ini(""), kSection), ChecksumRegions{});
  EXPECT_TRUE(EncodeChecksumRegions(ChecksumRegions{}).empty());
  // The stored spelling, as Encode writes it: storing it again changes no byte.
  const std::string lines =
      "ChecksumKind1=crc32\r\nChecksumFrom1=0x08000000\r\nChecksumTo1=0x0801FFFB\r\n"
      "ChecksumAt1=0x0801FFFC\r\n"
      "ChecksumKind3=\r\n"
      "ChecksumKind4=sum16-neg\r\nChecksumFrom4=0x00000000\r\nChecksumTo4=0xFFFFFFFD\r\n"
      "ChecksumAt4=0xFFFFFFFE\r\nChecksumByteOrder4=msb\r\nChecksumFill4=0x00\r\n";
  const IniFile::Contents ini = Ini(lines);
  const std::string before = test::ReadFileBytes(FPath);
  const ChecksumRegions regions = DecodeChecksumRegions(ini, kSection);
  IniFile(FPath).WriteValues(kSection, EncodeChecksumRegions(regions));
  EXPECT_EQ(test::ReadFileBytes(FPath), before);

  const std::vector<NumberedChecksumRegion> inForce = regions.InForce();
  ASSERT_EQ(inForce.size(), 2u);
  EXPECT_EQ(inForce[0],
            (NumberedChecksumRegion{
                1, {ChecksumKind::Crc32, 0x08000000, 0x0801FFFB, 0x0801FFFC, false, 0xFF}}));
  EXPECT_EQ(inForce[1], (NumberedChecksumRegion{
                            4, {ChecksumKind::Sum16Neg, 0, 0xFFFFFFFD, 0xFFFFFFFE, true, 0x00}}));
  // The empty kind is kept as the empty value it was.
  EXPECT_TRUE(regions.Keys[2].KindCleared);
}

TEST_F(ChecksumRegionsTest, NumbersAndNamesAsSetTakesThem) {
  const ChecksumRegions regions = DecodeChecksumRegions(
      Ini("ChecksumKind2=CRC16-Modbus\r\nChecksumFrom2=4096\r\nChecksumTo2=$1FFF\r\n"
          "ChecksumAt2=4294967294\r\nChecksumByteOrder2=LSB\r\nChecksumFill2=170\r\n"),
      kSection);
  const ChecksumRegionKeys& keys = regions.Keys[1];
  EXPECT_EQ(keys.Kind, ChecksumKind::Crc16Modbus);
  EXPECT_EQ(keys.From, 0x1000u);
  EXPECT_EQ(keys.To, 0x1FFFu);
  EXPECT_EQ(keys.At, 0xFFFFFFFEu);
  EXPECT_EQ(keys.MsbFirst, false);
  EXPECT_EQ(keys.Fill, 0xAA);
  EXPECT_EQ(EncodeChecksumRegions(regions), (std::vector<std::pair<std::string, std::string>>{
                                                {"ChecksumKind2", "crc16-modbus"},
                                                {"ChecksumFrom2", "0x00001000"},
                                                {"ChecksumTo2", "0x00001FFF"},
                                                {"ChecksumAt2", "0xFFFFFFFE"},
                                                {"ChecksumByteOrder2", "lsb"},
                                                {"ChecksumFill2", "0xAA"},
                                            }));
}

TEST_F(ChecksumRegionsTest, ValuesAKeyCannotHold) {
  // Key, value, and why, after "Value "<value>" for <key> in the profile of ...".
  const char* const cases[][3] = {
      {"ChecksumKind1", "crc33",
       "is no checksum kind; the kinds are crc32, crc32c, crc32-mpeg2, crc32-stm32, "
       "crc16-ccitt-false, crc16-xmodem, crc16-kermit, crc16-arc, crc16-modbus, crc8, sum8, "
       "sum16, sum32, sum8-neg, sum16-neg, xor8"},
      {"ChecksumByteOrder2", "big", "is neither lsb nor msb"},
      {"ChecksumFill3", "0x100", "is no byte value from 0 to 0xFF"},
      {"ChecksumFill3", "-1", "is no byte value from 0 to 0xFF"},
      {"ChecksumFrom4", "0x100000000", "is no 32-bit address"},
      {"ChecksumAt1", "-4", "is no 32-bit address"},
      {"ChecksumTo1", "", "is no 32-bit address"},
  };
  for (const auto& [key, value, why] : cases) {
    EXPECT_EQ(DecodeRefusal(std::string(key) + "=" + value + "\r\n"),
              "Value \"" + std::string(value) + "\" for " + key + " in the profile of " + kSection +
                  " " + why);
  }
}

TEST(ChecksumRegionKeys, ApplyTakesOneKeyOrNothing) {
  ChecksumRegions regions;
  ApplyChecksumRegionKey(regions, "checksumkind1", "XOR8");
  ApplyChecksumRegionKey(regions, "ChecksumFrom1", "0x10");
  EXPECT_EQ(regions.Keys[0].Kind, ChecksumKind::Xor8);
  EXPECT_EQ(regions.Keys[0].From, 0x10u);
  const ChecksumRegions before = regions;
  try {
    ApplyChecksumRegionKey(regions, "ChecksumFrom1", "sixteen");
    ADD_FAILURE() << "a text that is no address was taken";
  } catch (const EProfileValueError& error) {
    EXPECT_EQ(error.Message(), "Value \"sixteen\" for ChecksumFrom1 is no 32-bit address");
  }
  EXPECT_THROW(ApplyChecksumRegionKey(regions, "ChecksumKind5", "crc32"), EProfileValueError);
  EXPECT_EQ(regions, before);
  // An empty kind switches the region off and is written as empty.
  ApplyChecksumRegionKey(regions, "ChecksumKind1", "");
  EXPECT_FALSE(regions.Keys[0].Kind);
  EXPECT_EQ(EncodeChecksumRegions(regions).front(),
            (std::pair<std::string, std::string>{"ChecksumKind1", ""}));
  EXPECT_EQ(ChecksumRegionKeyNames().size(), 24u);
  EXPECT_EQ(*ChecksumRegionKeyName("CHECKSUMBYTEORDER4"), "ChecksumByteOrder4");
  EXPECT_EQ(ChecksumRegionKeyName("ChecksumKind"), nullptr);
}

// Region settings from key=value lines, checked against the slots given.
std::string Refusal(const std::vector<std::pair<std::string, std::string>>& keys,
                    const std::vector<SerialSlotBytes>& slots = {}) {
  ChecksumRegions regions;
  for (const auto& [key, value] : keys) ApplyChecksumRegionKey(regions, key, value);
  try {
    RequireValidChecksumRegions(regions, slots);
  } catch (const EProfileValueError& error) {
    return error.Message();
  }
  return "";
}

TEST(ChecksumRegionRules, SettingsThatAreRefused) {
  using Keys = std::vector<std::pair<std::string, std::string>>;
  const Keys region1 = {{"ChecksumKind1", "crc32"},
                        {"ChecksumFrom1", "0x0000"},
                        {"ChecksumTo1", "0x7FFB"},
                        {"ChecksumAt1", "0x7FFC"}};
  const auto with = [&](Keys more) {
    Keys keys = region1;
    keys.insert(keys.end(), more.begin(), more.end());
    return keys;
  };
  struct Case {
    const char* name;
    Keys keys;
    std::vector<SerialSlotBytes> slots;
    const char* message;
  };
  const Case cases[] = {
      {"sound", region1, {{1, 0x100, 4}}, ""},
      {"missing place",
       {{"ChecksumKind2", "crc8"}, {"ChecksumFrom2", "0"}, {"ChecksumTo2", "7"}},
       {},
       "ChecksumKind2 crc8 needs ChecksumAt2, which is not set"},
      {"ends before it starts",
       {{"ChecksumKind1", "crc32"},
        {"ChecksumFrom1", "0x1000"},
        {"ChecksumTo1", "0x0FFF"},
        {"ChecksumAt1", "0x2000"}},
       {},
       "ChecksumTo1 0x0FFF lies below ChecksumFrom1 0x1000: the range ends before it starts"},
      {"inside its own range",
       with({{"ChecksumAt1", "0x7FFA"}}),
       {},
       "The 4-byte result at ChecksumAt1 0x7FFA lies inside its own range "
       "ChecksumFrom1-ChecksumTo1 0x0000-0x7FFB"},
      {"over a serial slot",
       region1,
       {{2, 0x7FFE, 2}},
       "The 4-byte result at ChecksumAt1 0x7FFC lies over serial slot 2 (SeqNumOfs2 0x7FFE, 2 "
       "bytes)"},
      {"over a serial slot that wraps",
       with({{"ChecksumAt1", "0x8000"}}),
       {{1, 0xFFFFFFFE, 0x8004}},
       "The 4-byte result at ChecksumAt1 0x8000 lies over serial slot 1 (SeqNumOfs1 0xFFFFFFFE, "
       "32772 bytes)"},
      {"past the top",
       {{"ChecksumKind1", "crc16-arc"},
        {"ChecksumFrom1", "0"},
        {"ChecksumTo1", "0xFF"},
        {"ChecksumAt1", "0xFFFFFFFF"}},
       {},
       "The 2-byte result at ChecksumAt1 0xFFFFFFFF runs past 0xFFFFFFFF"},
      {"stm32 words",
       {{"ChecksumKind1", "crc32-stm32"},
        {"ChecksumFrom1", "0x08000000"},
        {"ChecksumTo1", "0x08000006"},
        {"ChecksumAt1", "0x08000008"}},
       {},
       "ChecksumKind1 crc32-stm32 reads 32-bit words, but ChecksumFrom1-ChecksumTo1 "
       "0x08000000-0x08000006 holds 7 bytes, no multiple of 4"},
      {"over an earlier result",
       with({{"ChecksumKind2", "crc16-xmodem"},
             {"ChecksumFrom2", "0x8000"},
             {"ChecksumTo2", "0x8FFF"},
             {"ChecksumAt2", "0x7FFE"}}),
       {},
       "The 2-byte result at ChecksumAt2 0x7FFE lies over the result of region 1 at ChecksumAt1 "
       "0x7FFC, which it would overwrite"},
      {"outer before inner",
       with({{"ChecksumKind2", "sum8"},
             {"ChecksumFrom2", "0x100"},
             {"ChecksumTo2", "0x1FF"},
             {"ChecksumAt2", "0x200"}}),
       {},
       "The range of region 1 0x0000-0x7FFB covers the result of region 2 at ChecksumAt2 0x0200, "
       "which is computed after it; the inner region needs the lower number"},
      {"inner before outer",
       {{"ChecksumKind1", "sum8"},
        {"ChecksumFrom1", "0x100"},
        {"ChecksumTo1", "0x1FF"},
        {"ChecksumAt1", "0x200"},
        {"ChecksumKind2", "crc32"},
        {"ChecksumFrom2", "0"},
        {"ChecksumTo2", "0x7FFB"},
        {"ChecksumAt2", "0x7FFC"}},
       {{1, 0x150, 4}},
       ""},
      {"a region without kind is not checked",
       {{"ChecksumFrom3", "0x1000"}, {"ChecksumTo3", "0x0FFF"}},
       {},
       ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Refusal(c.keys, c.slots), c.message) << c.name;
}

}  // namespace
}  // namespace velmorin
