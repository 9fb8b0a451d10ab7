// The serial number rules on the road of a serialization: the step and the
// last number over a batch, the fit rule that takes nothing, and the profile
// store keeping the three keys (or keeping them out).
#include <gtest/gtest.h>

#include <filesystem>

#include "profiles/ProfileKeys.h"
#include "serialize/SeqNumForm.h"
#include "tests/serialize/SerializerFixture.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;

class SeqNumRulesTest : public test::SerializerTest {
 protected:
  // Stores the window's profile for board.hex with `rules` added, selects it
  // and opens the store on it, with the production record on.
  void OpenProfile(const ProfileKeyValues& rules) {
    skelFile = UseSkeleton("board.hex", test::Ramp(32));
    outFolder = UseOutputFolder("out");
    ProfileKeyValues values = EncodeProfile(profile.EditableSettings());
    values.insert(values.end(), rules.begin(), rules.end());
    IniFile(iniPath).WriteValues(skelFile, values);
    IniFile(iniPath).WriteValues("Options", {{"DefaultImg", "0"}, {"ProductionLog", "r.csv"}});
    store.Open();
    serializer.SetSerialObserver([this](const ProductionEntry& e) { taken.push_back(e.Serial); });
  }

  std::vector<std::string> OutputFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(outFolder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string skelFile, outFolder;
  std::vector<std::int32_t> taken;  // what the serial observer heard
};

TEST_F(SeqNumRulesTest, BatchWithAStepStopsCleanlyAtTheLastNumber) {
  profile.EditableSettings().NextSeqNum = 1960;
  OpenProfile({{"SeqNumFormat", "bcd"}, {"SeqNumStep", "10"}, {"LastSeqNum", "1999"}});
  try {
    serializer.SerializeBatch(10);
    ADD_FAILURE() << "the batch went past the last number";
  } catch (const ESeqNumRefused& e) {
    EXPECT_EQ(e.Message(), "The serial numbers of this profile are used up (last 1999).");
  }
  EXPECT_EQ(taken, (std::vector<std::int32_t>{1960, 1970, 1980, 1990}));
  const std::string record = test::ReadFileBytes(dir.File("r.csv"));
  EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 5) << record;  // header + 4
  EXPECT_NE(record.find(",1990,"), std::string::npos) << record;
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"board_1960.hex", "board_1970.hex",
                                                     "board_1980.hex", "board_1990.hex"}));
  EXPECT_EQ(observer.progressPositions, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(profile.Settings().NextSeqNum, 2000);
  EXPECT_EQ(StoredNextSeqNum(), 2000);
  EXPECT_EQ(IniFile(iniPath).ReadString(skelFile, "SeqNumFormat", ""), "bcd");
  TIntelImage last;
  last.LoadFromFile((fs::path(outFolder) / "board_1990.hex").string());
  EXPECT_EQ(last.GetByte(0), 0x19);
  EXPECT_EQ(last.GetByte(1), 0x90);
}

TEST_F(SeqNumRulesTest, FitRuleTakesNothingAndWritesNothing) {
  profile.EditableSettings().NextSeqNum = 65536;  // stamped in 2 bytes it would be 00 00, as 0 is
  OpenProfile({});
  const std::string iniBefore = test::ReadFileBytes(iniPath);
  try {
    serializer.SerializeOne();
    ADD_FAILURE() << "no refusal";
  } catch (const ESeqNumRefused& e) {
    EXPECT_EQ(e.Message(), "Serial number 65536 does not fit in 2 bytes.");
  }
  EXPECT_EQ(profile.Settings().NextSeqNum, 65536);
  EXPECT_EQ(test::ReadFileBytes(iniPath), iniBefore);
  EXPECT_TRUE(OutputFiles().empty());
  EXPECT_FALSE(fs::exists(dir.File("r.csv")));
  EXPECT_TRUE(taken.empty());
}

// A slot whose bytes would run past 0xFFFFFFFF (and wrap to address 0) is
// refused before a number is taken, in every format; one that ends at the top
// address is stamped.
TEST_F(SeqNumRulesTest, SlotPastTheTopAddressTakesNothingAndWritesNothing) {
  struct Case {
    const char* format;
    std::int32_t size;
    int slot;  // 1..4
    std::uint32_t address;
    const char* refusal;  // nullptr: stamped
  };
  const Case cases[] = {
      {"binary", 2, 1, 0xFFFFFFFF,
       "Slot 1 at 0xFFFFFFFF with 2 bytes runs past the last address, 0xFFFFFFFF."},
      {"binary", 1, 1, 0xFFFFFFFF, nullptr},
      {"bcd", 4, 3, 0xFFFFFFFD,
       "Slot 3 at 0xFFFFFFFD with 4 bytes runs past the last address, 0xFFFFFFFF."},
      {"ascii", 4, 2, 0xFFFFFFFC, nullptr},
      {"ascii-hex", 8, 4, 0xFFFFFFF9,
       "Slot 4 at 0xFFFFFFF9 with 8 bytes runs past the last address, 0xFFFFFFFF."},
      // utf16 spans twice SN Size bytes.
      {"utf16", 3, 1, 0xFFFFFFFA, nullptr},
      {"utf16", 3, 2, 0xFFFFFFFB,
       "Slot 2 at 0xFFFFFFFB with 6 bytes runs past the last address, 0xFFFFFFFF."},
  };
  profile.EditableSettings().NextSeqNum = 7;
  OpenProfile({});
  // Data at 0, where a wrapped byte would land, and in the last 32 bytes.
  test::WriteFileBytes(skelFile, test::HexRecord(0, test::Ramp(16)) + ":02000004FFFFFC\r\n" +
                                     test::HexRecord(0xFFE0, test::Ramp(32)) + test::kHexEnd);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " " + std::to_string(c.address));
    const auto index = static_cast<std::size_t>(c.slot - 1);
    ProfileSettings settings = profile.EditableSettings();
    settings.SeqNumSize = c.size;
    settings.SetSeqNumOfs = {false, false, false, false};
    settings.SetSeqNumOfs[index] = true;
    settings.SeqNumOfs[index] = static_cast<std::int32_t>(c.address);
    ProfileKeyValues values = EncodeProfile(settings);
    values.emplace_back("SeqNumFormat", c.format);
    IniFile(iniPath).WriteValues(skelFile, values);
    store.ClearProfileName();  // loaded as it is stored, without a question
    store.LoadProfile();
    const std::int32_t next = profile.EditableSettings().NextSeqNum;
    const std::string iniBefore = test::ReadFileBytes(iniPath);
    const std::size_t takenBefore = taken.size();
    if (c.refusal == nullptr) {
      op.AnswerBox(mrOk);  // "Image serialized OK."
      EXPECT_TRUE(serializer.SerializeOne());
      EXPECT_EQ(profile.Settings().NextSeqNum, next + 1);
      continue;
    }
    try {
      serializer.SerializeOne();
      ADD_FAILURE() << "no refusal";
    } catch (const ESeqNumRefused& e) {
      EXPECT_EQ(e.Message(), c.refusal);
    }
    EXPECT_EQ(profile.Settings().NextSeqNum, next);
    EXPECT_EQ(test::ReadFileBytes(iniPath), iniBefore);
    EXPECT_EQ(taken.size(), takenBefore);
    EXPECT_FALSE(fs::exists(fs::path(outFolder) / ("board_" + std::to_string(next) + ".hex")));
  }
  // Only the stamped ones reached the record and the output folder.
  EXPECT_EQ(taken, (std::vector<std::int32_t>{7, 8, 9}));
  const std::string record = test::ReadFileBytes(dir.File("r.csv"));
  EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 4) << record;  // header + 3
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"board_7.hex", "board_8.hex", "board_9.hex"}));
}

TEST_F(SeqNumRulesTest, LastNumberHoldsAgainstTheWrapAt32Bits) {
  profile.EditableSettings().SeqNumSize = 4;
  profile.EditableSettings().NextSeqNum = INT32_MAX - 19;
  OpenProfile({{"SeqNumStep", "10"}, {"LastSeqNum", "2147483647"}});
  EXPECT_EQ(serializer.TakeSeqNum(), INT32_MAX - 19);
  // The next step would wrap to a number below the last one: refused.
  EXPECT_THROW(serializer.TakeSeqNum(), ESeqNumRefused);
  EXPECT_EQ(profile.Settings().NextSeqNum, INT32_MAX - 9);
}

TEST_F(SeqNumRulesTest, StoreKeepsTheRulesAndAddsNoneToAProfileWithout) {
  OpenProfile({{"SeqNumFormat", "UTF16"}, {"LastSeqNum", "0x10"}, {"SerialPool", "line 2; x"}});
  EXPECT_EQ(store.Rules().Format, SeqNumFormat::Utf16);
  EXPECT_EQ(PoolName(store.Rules(), skelFile), "line 2; x");
  store.SaveProfile();  // erases the section and writes it anew
  EXPECT_EQ(IniFile(iniPath).ReadString(skelFile, "SerialPool", ""), "line 2; x");
  EXPECT_EQ(IniFile(iniPath).ReadString(skelFile, "SeqNumFormat", ""), "utf16");
  EXPECT_EQ(IniFile(iniPath).ReadString(skelFile, "LastSeqNum", ""), "16");
  EXPECT_EQ(IniFile(iniPath).ReadString(skelFile, "SeqNumStep", "absent"), "absent");

  // A profile without them, saved, is the seventeen keys it was.
  const std::string other = UseSkeleton("plain.hex", test::Ramp(16));
  std::string section = "[" + other + "]\r\n";
  for (const auto& [key, value] : EncodeProfile(ProfileSettings{})) {
    section += key + "=" + value + "\r\n";
  }
  test::WriteFileBytes(iniPath, test::ReadFileBytes(iniPath) + section);
  profile.SetNames({skelFile, other});
  profile.Select(1);
  store.LoadProfile();
  EXPECT_EQ(store.Rules(), SeqNumRules{});
  EXPECT_EQ(PoolName(store.Rules(), other), "plain");
  const std::string before = test::ReadFileBytes(iniPath);
  store.SaveProfile();
  EXPECT_EQ(test::ReadFileBytes(iniPath), before);
}

TEST_F(SeqNumRulesTest, RefusedRuleBlocksStoringAndTakingUntilAProfileLoadsWhole) {
  skelFile = UseSkeleton("board.hex", test::Ramp(16));
  IniFile ini(iniPath);
  ini.WriteValues(skelFile, {{"NextSeqNum", "5"}, {"SeqNumFormat", "bcdx"}});
  ini.WriteValues("good.hex", {{"NextSeqNum", "9"}, {"SeqNumStep", "70000"}});
  ini.WriteValues("fine.hex", {{"NextSeqNum", "3"}});
  ini.WriteString("Options", "DefaultImg", "0");
  try {
    store.Open();
    ADD_FAILURE() << "an unknown format loaded";
  } catch (const EProfileValueError& e) {
    EXPECT_EQ(e.Message(), "Value \"bcdx\" for SeqNumFormat in the profile of " + skelFile +
                               " is no serial number format; the formats are binary, bcd, "
                               "ascii, ascii-hex, utf16");
  }
  EXPECT_EQ(profile.Settings().NextSeqNum, 5);  // the seventeen values are shown
  const std::string iniBefore = test::ReadFileBytes(iniPath);
  EXPECT_THROW(serializer.TakeSeqNum(), EProfileValueError);
  EXPECT_THROW(store.StoreProfile(), EProfileValueError);
  EXPECT_EQ(test::ReadFileBytes(iniPath), iniBefore);

  profile.Select(1);
  EXPECT_THROW(store.LoadProfile(), EProfileValueError);  // a step above 65535
  profile.Select(2);
  store.LoadProfile();
  EXPECT_EQ(serializer.TakeSeqNum(), 3);
}

// A station that believes it shares a series must never count on its own.
TEST_F(SeqNumRulesTest, NamedServerWithNoWayToReachItStoresAndTakesNothing) {
  IniFile(iniPath).WriteString("Options", "SerialServer", "host=/nowhere dbname=production");
  OpenProfile({});
  const std::string before = test::ReadFileBytes(iniPath);
  EXPECT_EQ(store.Source(), nullptr);
  try {
    store.StoreProfile();
    ADD_FAILURE() << "stored without the server";
  } catch (const EIniFileException& e) {
    // The operator learns why: this build, not the server or the network.
    EXPECT_NE(std::string(e.what()).find("without the serial server's client library (libpq)"),
              std::string::npos)
        << e.what();
  }
  EXPECT_THROW(serializer.TakeSeqNum(), EIniFileException);
  EXPECT_THROW(serializer.SerializeOne(), EIniFileException);
  EXPECT_EQ(test::ReadFileBytes(iniPath), before);
  EXPECT_TRUE(taken.empty());
  EXPECT_TRUE(OutputFiles().empty());
}

}  // namespace
}  // namespace velmorin
