// A burn's verdict from its exit code, its output and its time limit: which
// reason wins when several apply, the messages word for word, and the
// message of an image that took more than one attempt.
#include <gtest/gtest.h>

#include "BurnVerdict.h"

namespace velmorin {
namespace {

class BurnVerdictTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!LinePattern::Supported()) GTEST_SKIP() << "this build has no RE2";
  }
};

constexpr const char* kFailed = "Error: Failed to download data!";
constexpr const char* kTimedOut = "The burner took longer than 60 s and was stopped.";
constexpr const char* kFailMatched =
    "The burner's output matched \"Error:\": Error: Failed to download data!";
constexpr const char* kNoOk = "The burner's output had no line matching \"Verify OK$\".";

TEST_F(BurnVerdictTest, TheFirstReasonThatAppliesIsTheBurns) {
  const struct {
    const char* Name;
    bool Keys;  // all four keys set, or none
    BurnFacts Facts;
    const char* Output;
    BurnReason Reason;
    const char* Message;
  } cases[] = {
      {"stopped at the limit beats everything",
       true,
       {true, 1, true},
       kFailed,
       BurnReason::TimeLimit,
       kTimedOut},
      {"a fail line beats the exit code",
       true,
       {true, 3, false},
       kFailed,
       BurnReason::FailText,
       kFailMatched},
      {"a fail line beats the ok line",
       true,
       {true, 0, false},
       "Error: Failed to download data!\n"
       "Verify OK\n",
       BurnReason::FailText,
       kFailMatched},
      {"the exit code beats a missing ok line",
       true,
       {true, 2, false},
       "",
       BurnReason::ExitCode,
       ""},
      {"not started", true, {false, kExecFailed, false}, "", BurnReason::ExitCode, ""},
      {"exit 0 without the ok line",
       true,
       {true, 0, false},
       "Verify OK?\n",
       BurnReason::NoOkText,
       kNoOk},
      {"exit 0 with the ok line", true, {true, 0, false}, "Verify OK", BurnReason::None, ""},
      {"no keys: exit 0 after an error line",
       false,
       {true, 0, false},
       kFailed,
       BurnReason::None,
       ""},
      {"no keys: exit code as always", false, {true, 1, false}, "", BurnReason::ExitCode, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    BurnerJudgement judgement;
    if (c.Keys) {
      ApplyBurnerJudgementKey(judgement, "BurnerFailText", "Error:");
      ApplyBurnerJudgementKey(judgement, "BurnerOkText", "Verify OK$");
      ApplyBurnerJudgementKey(judgement, "BurnerTimeout", "60");
      ApplyBurnerJudgementKey(judgement, "BurnerRetries", "2");
    }
    BurnerOutputJudge output(judgement);
    output.Feed(BurnerOutputJudge::Stream::Output, c.Output);
    output.Finish();
    const BurnVerdict verdict = JudgeBurn(c.Facts, output, judgement);
    EXPECT_EQ(verdict.Reason, c.Reason);
    EXPECT_EQ(verdict.Done, c.Reason == BurnReason::None);
    EXPECT_EQ(verdict.Message, c.Message);
  }
}

TEST(BurnVerdict, AttemptsAreCountedInFrontOfTheLastMessage) {
  const struct {
    int Attempts;
    const char* Last;
    const char* Message;
  } cases[] = {
      {1, kTimedOut, kTimedOut},
      {1, "", ""},
      {3, kNoOk, "3 attempts; The burner's output had no line matching \"Verify OK$\"."},
      {2, "", "2 attempts"},  // done at the second, or failed by its exit code
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AttemptsMessage(c.Attempts, c.Last), c.Message) << c.Attempts << " " << c.Last;
  }
}

}  // namespace
}  // namespace velmorin
