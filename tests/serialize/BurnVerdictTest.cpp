// A burn's verdict from its exit code, its output and its time limit: which
// reason wins when several apply, the messages word for word, and the
// message of an image that took more than one attempt.
#include <gtest/gtest.h>

#include "profiles/OptionalKeys.h"
#include "serialize/BurnVerdict.h"

namespace velmorin {
namespace {

const std::string kTimedOut = "The burner took longer than 60 s and was stopped.";
const std::string kFailMatched =
    "The burner's output matched \"Error:\": Error: Failed to download data!";
const std::string kNoOk = "The burner's output had no line matching \"Verify OK$\".";

TEST(BurnVerdict, TheFirstReasonThatAppliesIsTheBurns) {
  if (!LinePattern::Supported()) GTEST_SKIP() << "this build has no RE2";
  const std::string failed = "Error: Failed to download data!\n";
  const struct {
    bool Keys;  // all four keys set, or none
    BurnFacts Facts;
    std::string Output;
    BurnReason Reason;
    std::string Message;
  } cases[] = {
      // Stopped at the limit beats everything; a fail line beats the exit
      // code and the ok line; the exit code beats a missing ok line.
      {true, {true, 1, true}, failed, BurnReason::TimeLimit, kTimedOut},
      {true, {true, 3, false}, failed, BurnReason::FailText, kFailMatched},
      {true, {true, 0, false}, "Verify OK\n" + failed, BurnReason::FailText, kFailMatched},
      {true, {true, 2, false}, "", BurnReason::ExitCode, ""},
      {true, {false, kExecFailed, false}, "", BurnReason::ExitCode, ""},  // not started
      {true, {true, 0, false}, "Verify OK?\n", BurnReason::NoOkText, kNoOk},
      {true, {true, 0, false}, "Verify OK", BurnReason::None, ""},
      // Without the keys, as ever: the exit code alone.
      {false, {true, 0, false}, failed, BurnReason::None, ""},
      {false, {true, 1, false}, "", BurnReason::ExitCode, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Output + " exit " + std::to_string(c.Facts.ExitCode));
    OptionalKeys keys;
    if (c.Keys) {
      keys.Apply("BurnerFailText", "Error:");
      keys.Apply("BurnerOkText", "Verify OK$");
      keys.Apply("BurnerTimeout", "60");
      keys.Apply("BurnerRetries", "2");
    }
    const BurnerJudgement& judgement = keys.Get<BurnerJudgement>();
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
  EXPECT_EQ(AttemptsMessage(1, kTimedOut), kTimedOut);
  EXPECT_EQ(AttemptsMessage(3, kNoOk), "3 attempts; " + kNoOk);
  // Done at the second attempt, or failed by its exit code, which says nothing.
  EXPECT_EQ(AttemptsMessage(2, ""), "2 attempts");
}

}  // namespace
}  // namespace velmorin
