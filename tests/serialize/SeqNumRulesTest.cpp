// The serial number rules on the road of a serialization: the step and the
// last number over a batch, the fit rule that takes nothing, and the profile
// store keeping the three keys (or keeping them out) as it loads and stores.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "ProfileKeys.h"
#include "SeqNumForm.h"
#include "SerializerFixture.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;

class SeqNumRulesTest : public test::SerializerTest {
 protected:
  // Stores a profile for board.hex with `rules` (INI keys and text), selects
  // it and opens the store on it, with the production record on.
  void OpenProfile(const ProfileKeyValues& rules) {
    skelFile = UseSkeleton("board.hex", test::Ramp(32));
    outFolder = UseOutputFolder("out");
    ProfileKeyValues values = EncodeProfile(view.settings);
    values.insert(values.end(), rules.begin(), rules.end());
    IniFile ini(iniPath);
    ini.WriteValues(skelFile, values);
    ini.WriteString("Options", "DefaultImg", "0");
    ini.WriteString("Options", "ProductionLog", "record.csv");
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

  // The serial column of each record line.
  std::vector<std::string> RecordedSerials() const {
    std::vector<std::string> serials;
    if (!fs::exists(dir.File("record.csv"))) return serials;
    std::istringstream lines(test::ReadFileBytes(dir.File("record.csv")));
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) {
      std::istringstream columns(line);
      std::string field;
      for (int i = 0; i < 4; ++i) std::getline(columns, field, ',');
      serials.push_back(field);
    }
    return serials;
  }

  std::string skelFile, outFolder;
  std::vector<std::int32_t> taken;  // what the serial observer heard
};

TEST_F(SeqNumRulesTest, BatchWithAStepStopsCleanlyAtTheLastNumber) {
  view.settings.NextSeqNum = 1960;
  OpenProfile({{"SeqNumFormat", "bcd"}, {"SeqNumStep", "10"}, {"LastSeqNum", "1999"}});
  try {
    serializer.SerializeBatch(10);
    ADD_FAILURE() << "the batch went past the last number";
  } catch (const ESeqNumRefused& e) {
    EXPECT_EQ(e.Message(), "The serial numbers of this profile are used up (last 1999).");
  }
  EXPECT_EQ(taken, (std::vector<std::int32_t>{1960, 1970, 1980, 1990}));
  EXPECT_EQ(RecordedSerials(), (std::vector<std::string>{"1960", "1970", "1980", "1990"}));
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"board_1960.hex", "board_1970.hex",
                                                     "board_1980.hex", "board_1990.hex"}));
  EXPECT_EQ(view.progressPositions, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(view.settings.NextSeqNum, 2000);
  EXPECT_EQ(StoredNextSeqNum(), 2000);
  // The stores on the way kept the rules.
  EXPECT_EQ(IniFile(iniPath).ReadString(skelFile, "SeqNumFormat", ""), "bcd");
  TIntelImage last;
  last.LoadFromFile(fs::path(outFolder) / "board_1990.hex");
  EXPECT_EQ(last.GetByte(0), 0x19);
  EXPECT_EQ(last.GetByte(1), 0x90);
}

TEST_F(SeqNumRulesTest, FitRuleTakesNothingAndWritesNothing) {
  const struct {
    const char* format;
    std::int32_t size;
    std::int32_t next;
    const char* message;
  } cases[] = {
      {"binary", 2, 65536, "Serial number 65536 does not fit in 2 bytes."},
      {"ascii", 4, 10000, "Serial number 10000 does not fit in 4 characters."},
      {"bcd", 2, -1, "Serial number -1 does not fit in 2 bytes."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    fs::remove_all(dir.Path());
    fs::create_directories(dir.Path());
    view.settings.SeqNumSize = c.size;
    view.settings.NextSeqNum = c.next;
    OpenProfile({{"SeqNumFormat", c.format}});
    const std::string iniBefore = test::ReadFileBytes(iniPath);
    try {
      serializer.SerializeOne();
      ADD_FAILURE() << "no refusal";
    } catch (const ESeqNumRefused& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(view.settings.NextSeqNum, c.next);
    EXPECT_EQ(test::ReadFileBytes(iniPath), iniBefore);
    EXPECT_TRUE(OutputFiles().empty());
    EXPECT_TRUE(RecordedSerials().empty());
    EXPECT_TRUE(taken.empty());
    store.Close();
  }
}

TEST_F(SeqNumRulesTest, LastNumberHoldsAgainstTheWrapAt32Bits) {
  view.settings.SeqNumSize = 4;
  view.settings.NextSeqNum = INT32_MAX - 19;
  OpenProfile({{"SeqNumStep", "10"}, {"LastSeqNum", "2147483647"}});
  EXPECT_EQ(serializer.TakeSeqNum(), INT32_MAX - 19);
  // The next step would wrap to a number below the last one: refused.
  EXPECT_THROW(serializer.TakeSeqNum(), ESeqNumRefused);
  EXPECT_EQ(view.settings.NextSeqNum, INT32_MAX - 9);
}

TEST_F(SeqNumRulesTest, StoreKeepsTheRulesAndAddsNoneToAProfileWithout) {
  OpenProfile({{"SeqNumFormat", "UTF16"}, {"LastSeqNum", "0x10"}});
  EXPECT_EQ(store.Rules().Format, SeqNumFormat::Utf16);
  EXPECT_EQ(store.Rules().Last, 16);
  store.SaveProfile();  // erases the section and writes it anew
  const IniFile ini(iniPath);
  EXPECT_EQ(ini.ReadString(skelFile, "SeqNumFormat", ""), "utf16");
  EXPECT_EQ(ini.ReadString(skelFile, "LastSeqNum", ""), "16");
  EXPECT_EQ(ini.ReadString(skelFile, "SeqNumStep", "absent"), "absent");

  // A profile without them, saved and advanced, keeps the text it had.
  const std::string other = UseSkeleton("plain.hex", test::Ramp(16));
  IniFile(iniPath).WriteValues(other, EncodeProfile(ProfileSettings{}));
  view.SetSkelFileItems({skelFile, other});
  view.SetSkelFileIndex(1);
  store.LoadProfile();
  EXPECT_EQ(store.Rules(), SeqNumRules{});
  store.SaveProfile();
  serializer.TakeSeqNum();
  ProfileKeyValues expected = EncodeProfile(ProfileSettings{});
  expected[0].second = "1";  // NextSeqNum
  std::string section = "[" + other + "]\r\n";
  for (const auto& [key, value] : expected) section += key + "=" + value + "\r\n";
  const std::string text = test::ReadFileBytes(iniPath);
  EXPECT_NE(text.find(section), std::string::npos) << text;
  EXPECT_EQ(text.rfind("[" + other + "]"), text.size() - section.size());
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
  EXPECT_EQ(view.settings.NextSeqNum, 5);  // the seventeen values are shown
  const std::string iniBefore = test::ReadFileBytes(iniPath);
  EXPECT_THROW(serializer.TakeSeqNum(), EProfileValueError);
  EXPECT_THROW(store.StoreProfile(), EProfileValueError);
  EXPECT_EQ(test::ReadFileBytes(iniPath), iniBefore);

  view.SetSkelFileIndex(1);
  EXPECT_THROW(store.LoadProfile(), EProfileValueError);  // a step above 65535
  view.SetSkelFileIndex(2);
  store.LoadProfile();
  EXPECT_EQ(serializer.TakeSeqNum(), 3);
}

}  // namespace
}  // namespace velmorin
