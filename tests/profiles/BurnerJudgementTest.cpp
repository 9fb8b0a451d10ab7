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
  BurnerJudgement Decoded(const ProfileKeyValues& values) {
    IniFile ini(dir.File(std::to_string(++files) + ".ini"));
    ini.WriteValues(kProfile, values);
    return DecodeBurnerJudgement(ini.Read(), kProfile);
  }

  test::TempDir dir;
  int files = 0;
};

TEST_F(BurnerJudgementTest, KeysReadBackAsTheyWereWrittenAndAbsentOnesStayAbsent) {
  const BurnerJudgement none = Decoded({{"NextSeqNum", "5"}});
  EXPECT_EQ(none, BurnerJudgement{});
  EXPECT_TRUE(EncodeBurnerJudgement(none).empty());
  EXPECT_FALSE(none.ReadsOutput() || none.TimeLimit());
  EXPECT_EQ(none.MaxAttempts(), 1);

  BurnerJudgement applied;
  ApplyBurnerJudgementKey(applied, "burnertimeout", "0x3C");
  ApplyBurnerJudgementKey(applied, "BURNERRETRIES", "2");
  EXPECT_EQ(EncodeBurnerJudgement(applied),
            (ProfileKeyValues{{"BurnerTimeout", "60"}, {"BurnerRetries", "2"}}));
  EXPECT_EQ(applied.TimeLimit(), std::chrono::seconds(60));
  EXPECT_EQ(applied.MaxAttempts(), 3);

  if (!LinePattern::Supported()) GTEST_SKIP() << "this build has no RE2";
  const ProfileKeyValues stored = {{"BurnerFailText", "^(Error|Writing failed)"},
                                   {"BurnerOkText", " Verify OK $"},
                                   {"BurnerTimeout", "0"},
                                   {"BurnerRetries", "9"}};
  const BurnerJudgement judgement = Decoded(stored);
  EXPECT_EQ(EncodeBurnerJudgement(judgement), stored);
  EXPECT_TRUE(judgement.ReadsOutput());
  EXPECT_FALSE(judgement.TimeLimit());  // 0: no limit
  EXPECT_EQ(judgement.MaxAttempts(), 10);
  EXPECT_TRUE(judgement.OkText->Matches(" Verify OK "));  // the blanks are the pattern's
}

TEST_F(BurnerJudgementTest, RefusedValuesNameTheKeyAndSayWhyAndChangeNothing) {
  const bool re2 = LinePattern::Supported();
  const struct {
    const char* Key;
    std::string Value;
    std::string Why;
  } cases[] = {
      {"BurnerFailText", "(unclosed",
       re2 ? "is no regular expression: missing ): (unclosed" : "can't be used: "},
      {"BurnerOkText", "", "is empty, and every line would match it"},
      {"BurnerTimeout", "86401", "is outside 0 to 86400 seconds (0: no limit)"},
      {"BurnerTimeout", "-1", "is outside 0 to 86400 seconds (0: no limit)"},
      {"BurnerTimeout", "60s", "is not a number"},
      {"BurnerRetries", "10", "is outside 0 to 9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Key) + "=" + c.Value);
    const std::string said = std::string(c.Key) + " in the profile of " + kProfile + " " + c.Why;
    try {
      Decoded({{c.Key, c.Value}});
      ADD_FAILURE() << "taken";
    } catch (const EProfileValueError& e) {
      EXPECT_EQ(e.Message().rfind("Value \"" + c.Value + "\" for " + said, 0), 0u) << e.Message();
    }
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
  // What the INI file cannot keep, and keys that are none of the four.
  BurnerJudgement judgement;
  EXPECT_THROW(ApplyBurnerJudgementKey(judgement, "BurnerFailText", "a\nb"), EProfileValueError);
  EXPECT_THROW(ApplyBurnerJudgementKey(judgement, "BurnerOkText",
                                       std::string(IniFile::kMaxValueLength + 1, 'a')),
               EProfileValueError);
  EXPECT_THROW(ApplyBurnerJudgementKey(judgement, "BurnerFail", "1"), EProfileValueError);
  EXPECT_EQ(BurnerJudgementKeyName("burnerfailtext"), &BurnerJudgementKeyNames()[0]);
  EXPECT_EQ(judgement, BurnerJudgement{});
}

}  // namespace
}  // namespace velmorin
