// The four keys that judge a burn beyond its exit code, as the INI file holds
// them: read and written back unchanged, absent staying absent, shown as
// `show --json` prints them, and refused with a message that names the key
// and says why.
#include <gtest/gtest.h>

#include "profiles/BurnerJudgement.h"
#include "profiles/OptionalKeys.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

const std::string kProfile = "/fw/board.hex";

class BurnerJudgementTest : public ::testing::Test {
 protected:
  // A new INI file each time, holding `values` in the profile's section.
  OptionalKeys Decoded(const ProfileKeyValues& values) {
    IniFile ini(dir.File(std::to_string(++files) + ".ini"));
    ini.WriteValues(kProfile, values);
    return OptionalKeys::Decode(ini.Read(), kProfile);
  }

  test::TempDir dir;
  int files = 0;
};

TEST_F(BurnerJudgementTest, KeysReadBackAsTheyWereWrittenAndAbsentOnesStayAbsent) {
  const OptionalKeys none = Decoded({{"NextSeqNum", "5"}});
  const BurnerJudgement& nothing = none.Get<BurnerJudgement>();
  EXPECT_EQ(nothing, BurnerJudgement{});
  EXPECT_TRUE(none.Encode().empty());
  EXPECT_FALSE(nothing.Any() || nothing.ReadsOutput() || nothing.TimeLimit());
  EXPECT_EQ(nothing.MaxAttempts(), 1);

  OptionalKeys applied;
  applied.Apply("burnertimeout", "0x3C");
  applied.Apply("BURNERRETRIES", "2");
  EXPECT_EQ(applied.Encode(), (ProfileKeyValues{{"BurnerTimeout", "60"}, {"BurnerRetries", "2"}}));
  const BurnerJudgement& limits = applied.Get<BurnerJudgement>();
  EXPECT_TRUE(limits.Any());
  EXPECT_FALSE(limits.ReadsOutput());
  EXPECT_EQ(limits.TimeLimit(), std::chrono::seconds(60));
  EXPECT_EQ(limits.MaxAttempts(), 3);

  if (!LinePattern::Supported()) GTEST_SKIP() << "this build has no RE2";
  const ProfileKeyValues stored = {{"BurnerFailText", "^(Error|Writing failed)"},
                                   {"BurnerOkText", " Verify OK $"},
                                   {"BurnerTimeout", "0"},
                                   {"BurnerRetries", "9"}};
  const OptionalKeys keys = Decoded(stored);
  EXPECT_EQ(keys.Encode(), stored);
  const ShownValues shown = keys.Show();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(std::get<std::string>(shown[0].Value), "^(Error|Writing failed)");
  EXPECT_EQ(std::get<std::int64_t>(shown[3].Value), 9);
  const BurnerJudgement& judgement = keys.Get<BurnerJudgement>();
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
    OptionalKeys keys;
    keys.Apply("BurnerRetries", "3");
    const OptionalKeys before = keys;
    try {
      keys.Apply(c.Key, c.Value);
      ADD_FAILURE() << "applied";
    } catch (const EProfileValueError& e) {
      EXPECT_NE(e.Message().find(std::string(c.Key) + " " + c.Why), std::string::npos)
          << e.Message();
    }
    EXPECT_EQ(keys, before);
  }
  // What the INI file cannot keep.
  OptionalKeys keys;
  EXPECT_THROW(keys.Apply("BurnerFailText", "a\nb"), EProfileValueError);
  EXPECT_THROW(keys.Apply("BurnerOkText", std::string(IniFile::kMaxValueLength + 1, 'a')),
               EProfileValueError);
  EXPECT_EQ(keys, OptionalKeys{});
}

}  // namespace
}  // namespace velmorin
