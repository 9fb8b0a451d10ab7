// The checksum region keys of a profile, as a group of the optional keys:
// read from and written to a real INI file (absent keys stay absent, the file
// byte for byte as it was), one key set from text, every refused setting
// refused with its key named, and the regions against the serial slots at load.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/ini/IniFile.h"
#include "profiles/ChecksumRegions.h"
#include "profiles/OptionalKeys.h"
#include "profiles/ProfileKeys.h"
#include "profiles/ProfileStore.h"
#include "profiles/WorkingProfile.h"
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
  ChecksumRegions Decode(const std::string& lines) {
    return OptionalKeys::Decode(Ini(lines), kSection).Get<ChecksumRegions>();
  }
  // The message Decode raises for `lines`, or "" when it takes them.
  std::string DecodeRefusal(const std::string& lines) {
    try {
      Decode(lines);
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
  EXPECT_EQ(Decode(""), ChecksumRegions{});
  EXPECT_TRUE(OptionalKeys().Encode().empty());
  // The stored spelling, as Encode writes it: storing it again changes no byte.
  const std::string lines =
      "ChecksumKind1=crc32\r\nChecksumFrom1=0x08000000\r\nChecksumTo1=0x0801FFFB\r\n"
      "ChecksumAt1=0x0801FFFC\r\n"
      "ChecksumKind3=\r\n"
      "ChecksumKind4=sum16-neg\r\nChecksumFrom4=0x00000000\r\nChecksumTo4=0xFFFFFFFD\r\n"
      "ChecksumAt4=0xFFFFFFFE\r\nChecksumByteOrder4=msb\r\nChecksumFill4=0x00\r\n";
  const IniFile::Contents ini = Ini(lines);
  const std::string before = test::ReadFileBytes(FPath);
  const OptionalKeys keys = OptionalKeys::Decode(ini, kSection);
  const ChecksumRegions& regions = keys.Get<ChecksumRegions>();
  IniFile(FPath).WriteValues(kSection, keys.Encode());
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
  const OptionalKeys keys = OptionalKeys::Decode(
      Ini("ChecksumKind2=CRC16-Modbus\r\nChecksumFrom2=4096\r\nChecksumTo2=$1FFF\r\n"
          "ChecksumAt2=4294967294\r\nChecksumByteOrder2=LSB\r\nChecksumFill2=170\r\n"),
      kSection);
  const ChecksumRegions& regions = keys.Get<ChecksumRegions>();
  const ChecksumRegionKeys& region = regions.Keys[1];
  EXPECT_EQ(region.Kind, ChecksumKind::Crc16Modbus);
  EXPECT_EQ(region.From, 0x1000u);
  EXPECT_EQ(region.To, 0x1FFFu);
  EXPECT_EQ(region.At, 0xFFFFFFFEu);
  EXPECT_EQ(region.MsbFirst, false);
  EXPECT_EQ(region.Fill, 0xAA);
  EXPECT_EQ(keys.Encode(), (std::vector<std::pair<std::string, std::string>>{
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
  OptionalKeys keys;
  keys.Apply("checksumkind1", "XOR8");
  keys.Apply("ChecksumFrom1", "0x10");
  const ChecksumRegions& regions = keys.Get<ChecksumRegions>();
  EXPECT_EQ(regions.Keys[0].Kind, ChecksumKind::Xor8);
  EXPECT_EQ(regions.Keys[0].From, 0x10u);
  const OptionalKeys before = keys;
  try {
    keys.Apply("ChecksumFrom1", "sixteen");
    ADD_FAILURE() << "a text that is no address was taken";
  } catch (const EProfileValueError& error) {
    EXPECT_EQ(error.Message(), "Value \"sixteen\" for ChecksumFrom1 is no 32-bit address");
  }
  EXPECT_THROW(keys.Apply("ChecksumKind5", "crc32"), EProfileValueError);
  EXPECT_EQ(keys, before);
  // An empty kind switches the region off and is written as empty.
  keys.Apply("ChecksumKind1", "");
  EXPECT_FALSE(regions.Keys[0].Kind);
  EXPECT_EQ(keys.Encode().front(), (std::pair<std::string, std::string>{"ChecksumKind1", ""}));
  EXPECT_EQ(ChecksumRegions::KeyNames().size(), 24u);
  EXPECT_EQ(*OptionalKeys::KeyName("CHECKSUMBYTEORDER4"), "ChecksumByteOrder4");
  EXPECT_EQ(OptionalKeys::KeyName("ChecksumKind"), nullptr);
}

// Region settings from key=value lines, checked against the slots given.
std::string Refusal(const std::vector<std::pair<std::string, std::string>>& keys,
                    const std::vector<SerialSlotBytes>& slots = {}) {
  OptionalKeys optional;
  for (const auto& [key, value] : keys) optional.Apply(key, value);
  try {
    RequireValidChecksumRegions(optional.Get<ChecksumRegions>(), slots);
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
       "0x7FFC: one would overwrite the other"},
      {"outer before inner",
       with({{"ChecksumKind2", "sum8"},
             {"ChecksumFrom2", "0x100"},
             {"ChecksumTo2", "0x1FF"},
             {"ChecksumAt2", "0x200"}}),
       {},
       "The range of region 1 ChecksumFrom1-ChecksumTo1 0x0000-0x7FFB covers the result of "
       "region 2 at ChecksumAt2 0x0200, which would be written after region 1 is computed: "
       "region 2 must come first (the inner region takes the lower number)"},
      {"each over the other's result",
       with({{"ChecksumKind3", "crc16-arc"},
             {"ChecksumFrom3", "0x7FFC"},
             {"ChecksumTo3", "0x8000"},
             {"ChecksumAt3", "0x0010"}}),
       {},
       "The ranges of regions 1 and 3 each cover the other's result (ChecksumAt1 0x7FFC, "
       "ChecksumAt3 0x0010): no order computes both right"},
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

TEST(ChecksumRegionRules, TheSwitchedOnSlotsBytes) {
  ProfileSettings settings;
  settings.SeqNumSize = 4;
  settings.SetSeqNumOfs = {true, false, true, false};
  settings.SeqNumOfs = {0x100, 0x200, -2, 0x400};
  SeqNumRules rules;
  const std::vector<SerialSlotBytes> slots = SwitchedOnSerialSlots(settings, rules);
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(std::tie(slots[0].Slot, slots[0].Address, slots[0].Count),
            std::make_tuple(1, 0x100u, 4u));
  EXPECT_EQ(std::tie(slots[1].Slot, slots[1].Address, slots[1].Count),
            std::make_tuple(3, 0xFFFFFFFEu, 4u));
  rules.Format = SeqNumFormat::Utf16;  // two bytes a character
  EXPECT_EQ(SwitchedOnSerialSlots(settings, rules)[0].Count, 8u);
  settings.SeqNumSize = 0;  // stamps nothing
  EXPECT_TRUE(SwitchedOnSerialSlots(settings, rules).empty());
}

// A load refuses regions that a switched-on slot stamps over, naming the
// profile, as it refuses a value: the seventeen values shown, no optional key
// taken, nothing to serialize until a profile loads whole.
TEST_F(ChecksumRegionsTest, ALoadRefusesARegionOverASwitchedOnSlot) {
  test::WriteFileBytes(
      FPath, "[" + kSection +
                 "]\r\nNextSeqNum=5\r\nSetSeqNumOfs1=1\r\nSeqNumOfs1=0x7FFD\r\n"
                 "SeqNumFormat=bcd\r\nChecksumKind1=crc32\r\nChecksumFrom1=0\r\n"
                 "ChecksumTo1=0x7FFB\r\nChecksumAt1=0x7FFC\r\n[Options]\r\nDefaultImg=0\r\n");
  WorkingProfile profile;
  ProfileStore store(FPath, profile, [] { return false; });
  try {
    store.Open();
    ADD_FAILURE() << "the profile was taken";
  } catch (const EProfileValueError& error) {
    EXPECT_EQ(error.Message(),
              "The 4-byte result at ChecksumAt1 0x7FFC lies over serial slot 1 (SeqNumOfs1 "
              "0x7FFD, 2 bytes), in the profile of " +
                  kSection);
  }
  EXPECT_EQ(profile.NextSeqNum(), 5);
  EXPECT_EQ(profile.Optional(), OptionalKeys{});
  EXPECT_THROW(store.RequireProfileRead(), EProfileValueError);
  // The slot moved away, the same profile loads whole.
  IniFile(FPath).WriteString(kSection, "SeqNumOfs1", "0x100");
  store.LoadProfile();
  EXPECT_EQ(profile.Optional().Get<ChecksumRegions>().InForce().size(), 1u);
  EXPECT_NO_THROW(store.RequireProfileRead());
}

}  // namespace
}  // namespace velmorin
