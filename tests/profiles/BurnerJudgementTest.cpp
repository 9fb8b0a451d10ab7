// The four keys that judge a burn beyond its exit code, as the INI file holds
// them: read and written back unchanged, absent staying absent, and refused
// with a message that names the key and says why.
#include <gtest/gtest.h>

#include "BurnerJudgement.h"
#include "ProfileKeys.h"
#include "TempDir.h"

namespace velmorin {
namespace {

const std::string kProfile = "/fw/board.hex";

class BurnerJudgementTest : public ::testing::Test {
 protected:
  // A new INI file each time, holding `values` in the profile's section.
  IniFile::Contents Stored(const ProfileKeyValues& values) {
    IniFile ini(dir.File(std::to_string(++files) + ".ini"));
    ini.WriteValues(kProfile, values);
    return ini.Read();
  }

  test::TempDir dir;
  int files = 0;
};

TEST_F(BurnerJudgementTest, KeysReadBackAsTheyWereWrittenAndAbsentOnesStayAbsent) {
  const BurnerJudgement none = DecodeBurnerJudgement(Stored({{"NextSeqNum", "5"}}), kProfile);
  EXPECT_EQ(none, BurnerJudgement{});
  EXPECT_TRUE(EncodeBurnerJudgement(none).empty());
  EXPECT_FALSE(none.ReadsOutput());
  EXPECT_FALSE(none.TimeLimit());
  EXPECT_EQ(none.MaxAttempts(), 1);

  const BurnerJudgement timed =
      DecodeBurnerJudgement(Stored({{"BurnerTimeout", "60"}, {"BurnerRetries", "0"}}), kProfile);
  EXPECT_EQ(timed.TimeLimit(), std::chrono::seconds(60));
  EXPECT_EQ(timed.MaxAttempts(), 1);
  EXPECT_FALSE(timed.ReadsOutput());

  if (!LinePattern::Supported()) GTEST_SKIP() << "this build has no RE2";
  const ProfileKeyValues stored = {{"BurnerFailText", "^(Error|Writing failed)"},
                                   {"BurnerOkText", " Verify OK $"},
                                   {"BurnerTimeout", "0"},
                                   {"BurnerRetries", "9"}};
  const BurnerJudgement judgement = DecodeBurnerJudgement(Stored(stored), kProfile);
  EXPECT_EQ(EncodeBurnerJudgement(judgement), stored);
  EXPECT_TRUE(judgement.ReadsOutput());
  EXPECT_FALSE(judgement.TimeLimit());  // 0: no limit
  EXPECT_EQ(judgement.MaxAttempts(), 10);
  ASSERT_TRUE(judgement.OkText);
  EXPECT_TRUE(judgement.OkText->Matches(" Verify OK "));  // the blanks are the pattern's
}

TEST_F(BurnerJudgementTest, RefusedValuesNameTheKeyAndSayWhy) {
  const bool re2 = LinePattern::Supported();
  const struct {
    const char* Key;
    std::string Value;
    std::string Why;
  } cases[] = {
      {"BurnerFailText", "(unclosed",
       re2 ? "is no regular expression: missing ): (unclosed" : "can't be used: "},
      {"BurnerOkText", "a{2,1}", re2 ? "is no regular expression: invalid repetition size" : ""},
      {"BurnerOkText", "", "is empty, and every line would match it"},
      {"BurnerTimeout", "86401", "is outside 0 to 86400 seconds (0: no limit)"},
      {"BurnerTimeout", "-1", "is outside 0 to 86400 seconds (0: no limit)"},
      {"BurnerTimeout", "60s", "is not a number"},
      {"BurnerRetries", "10", "is outside 0 to 9"},
      {"BurnerRetries", "", "is not a number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Key) + "=" + c.Value);
    try {
      DecodeBurnerJudgement(Stored({{c.Key, c.Value}}), kProfile);
      ADD_FAILURE() << "taken";
    } catch (const EProfileValueError& e) {
      const std::string start =
          "Value \"" + c.Value + "\" for " + c.Key + " in the profile of " + kProfile + " ";
      EXPECT_EQ(e.Message().substr(0, start.size() + c.Why.size()), start + c.Why);
    }
    // The command line's refusal says the same, and changes nothing.
    BurnerJudgement judgement;
    ApplyBurnerJudgementKey(judgement, "BurnerRetries", "3");
    const BurnerJudgement before = judgement;
    try {
      ApplyBurnerJudgementKey(judgement, c.Key, c.Value);
      ADD_FAILURE() << "applied";
    } catch (const EProfileValueError& e) {
      EXPECT_NE(e.Message().find(std::string(c.Key) + " " + c.Why), std::string::npos)
          << e.Message();
    }
    EXPECT_EQ(judgement, before);
  }
}

TEST_F(BurnerJudgementTest, ApplyTakesAnyLetterCaseAndRefusesWhatTheFileCannotKeep) {
  BurnerJudgement judgement;
  ApplyBurnerJudgementKey(judgement, "burnertimeout", "0x3C");
  ApplyBurnerJudgementKey(judgement, "BURNERRETRIES", "2");
  EXPECT_EQ(EncodeBurnerJudgement(judgement),
            (ProfileKeyValues{{"BurnerTimeout", "60"}, {"BurnerRetries", "2"}}));
  EXPECT_EQ(*BurnerJudgementKeyName("burnerfailtext"), "BurnerFailText");
  EXPECT_EQ(BurnerJudgementKeyName("BurnerFail"), nullptr);
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"BurnerFailText", "a\nb"},
                                   {"BurnerOkText", std::string(IniFile::kMaxValueLength + 1, 'a')},
                                   {"BurnerWhatever", "1"}}) {
    EXPECT_THROW(ApplyBurnerJudgementKey(judgement, key, value), EProfileValueError) << key;
  }
  EXPECT_EQ(judgement.MaxAttempts(), 3);
  EXPECT_EQ(judgement.TimeLimit(), std::chrono::seconds(60));
}

}  // namespace
}  // namespace velmorin
