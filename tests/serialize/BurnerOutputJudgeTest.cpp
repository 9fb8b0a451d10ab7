// The burner's output split into lines and matched: line ends across chunk
// boundaries, the two streams kept apart, the 64 KiB cap with bounded memory,
// and a pattern that would make a backtracking matcher hang.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "profiles/OptionalKeys.h"
#include "serialize/BurnerOutputJudge.h"

namespace velmorin {
namespace {

using Stream = BurnerOutputJudge::Stream;
constexpr std::size_t kMax = BurnerOutputJudge::kMaxLineLength;

BurnerJudgement Patterns(const std::string& fail, const std::string& ok = {}) {
  OptionalKeys keys;
  if (!fail.empty()) keys.Apply("BurnerFailText", fail);
  if (!ok.empty()) keys.Apply("BurnerOkText", ok);
  return keys.Get<BurnerJudgement>();
}

// `output` fed on standard output in chunks of `chunk` bytes, then ended.
BurnerOutputJudge Judged(const BurnerJudgement& judgement, const std::string& output,
                         std::size_t chunk) {
  BurnerOutputJudge judge(judgement);
  for (std::size_t at = 0; at < output.size(); at += chunk) {
    judge.Feed(Stream::Output, std::string_view(output).substr(at, chunk));
  }
  judge.Finish();
  return judge;
}

class BurnerOutputJudgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!LinePattern::Supported()) GTEST_SKIP() << "this build has no RE2";
  }
};

TEST_F(BurnerOutputJudgeTest, LinesEndAtLfCrLfAndBareCrWhereverTheChunksAreCut) {
  const struct {
    const char* Output;
    const char* Fail;
    const char* Ok;
    const char* FailLine;  // nullptr: no line matches the fail text
    bool OkMatched;
  } cases[] = {
      {"Error: x\ny\n", "^Error: x$", "^y$", "Error: x", true},
      {"Error: x\r\nVerify OK\r\n", "x$", "OK$", "Error: x", true},
      {"a\r\nb\r\n", "^b$", "^$", "b", false},  // CR LF is one line end, also split
      {"a\r\rb", "^b$", "^$", "b", true},       // two CRs: an empty line between
      {"a\n\rb", "^b$", "^$", "b", true},       // LF CR: two line ends
      {"10%\r20%\r100%\rError: z\r", "^Error: z$", "^20%$", "Error: z", true},
      {"ok\nError: end", "^Error: end$", "^ok$", "Error: end", true},  // no line end
      {"Error: 1\nError: 2\n", "Error", "", "Error: 1", false},
      {"\r\n\n\r", "\\r|\\n", "", nullptr, false},  // line ends are not part of a line
  };
  for (const auto& c : cases) {
    // Whole, and byte by byte, which cuts every CR LF in two.
    for (const std::size_t chunk : {std::size_t{1000}, std::size_t{1}}) {
      SCOPED_TRACE(std::string(c.Output) + ", chunks of " + std::to_string(chunk));
      const BurnerOutputJudge judge = Judged(Patterns(c.Fail, c.Ok), c.Output, chunk);
      ASSERT_EQ(judge.FailTextMatched(), c.FailLine != nullptr);
      if (c.FailLine != nullptr) {
        EXPECT_EQ(judge.FailLine(), c.FailLine);
      }
      EXPECT_EQ(judge.OkTextMatched(), c.OkMatched);
    }
  }
  BurnerOutputJudge unfinished(Patterns("^late$"));
  unfinished.Feed(Stream::Output, "late");
  EXPECT_FALSE(unfinished.FailTextMatched());  // more of the line may follow
}

TEST_F(BurnerOutputJudgeTest, EachStreamIsSplitOnItsOwn) {
  BurnerOutputJudge judge(Patterns("Error:", "^Verify OK$"));
  judge.Feed(Stream::Output, "Err");
  judge.Feed(Stream::Error, "or: not one line\nVerify");
  judge.Feed(Stream::Output, "or\n");
  judge.Feed(Stream::Error, " OK\r");
  judge.Finish();
  EXPECT_FALSE(judge.FailTextMatched());
  EXPECT_TRUE(judge.OkTextMatched());
}

TEST_F(BurnerOutputJudgeTest, AnchorsMarkTheLineAndAMatchMayLieAnywhereInIt) {
  const struct {
    const char* Pattern;
    const char* Output;
    bool Matches;
  } cases[] = {
      {"Error:", "Flash: Error: Failed to download data!\n", true},
      {"^Error:", " Error: indented\n", false},
      {"^Error:", "ok\nError: second line\n", true},
      {"Verify OK$", "Verify OK (3 s)\n", false},
      {"error:", "Error: case counts\n", false},
      // A byte that is no part of well-formed UTF-8 is one character of its
      // own, so "." matches it: a stray byte, an overlong form, a surrogate,
      // a sequence cut short.
      {"^Error: .*d$", "Error: \xFF\xC3 bad\n", true},
      {"^.{2}$", "\xC0\x80\n", true},
      {"^.{3}$", "\xED\xA0\x80\n", true},
      {"^x.{2}$", "x\xE2\x82\n", true},
#ifndef _WIN32
      {"^x.$", "x\xF0\x9F\x98\x80\n", true},  // one character of UTF-8, four bytes
#endif
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Judged(Patterns({}, c.Pattern), c.Output, 1000).OkTextMatched(), c.Matches)
        << c.Pattern << " in " << c.Output;
  }
}

TEST_F(BurnerOutputJudgeTest, ALongLineIsMatchedOnItsFirst64KiB) {
  const struct {
    std::string Output;
    const char* Fail;
    bool Matches;
  } cases[] = {
      {std::string(kMax - 6, 'a') + "Error:\n", "Error:$", true},
      {std::string(kMax - 5, 'a') + "Error:\n", "Error:", false},  // behind the cap
      {std::string(kMax, 'a') + "b\n", "^a+$", true},              // "$" marks the cut
      {std::string(3 * kMax, 'a') + "\nError: next\n", "^Error: next$", true},
  };
  for (const auto& c : cases) {
    for (const std::size_t chunk : {std::size_t{7}, kMax - 1, c.Output.size()}) {
      EXPECT_EQ(Judged(Patterns(c.Fail), c.Output, chunk).FailTextMatched(), c.Matches)
          << c.Fail << " in " << c.Output.size() << " bytes, chunks of " << chunk;
    }
  }
}

TEST_F(BurnerOutputJudgeTest, A50MBLineWithoutEndThenAnErrorLineFailsInBoundedMemory) {
  BurnerOutputJudge judge(Patterns("^Error:", "^Verify OK$"));
  const std::string chunk(1024 * 1024, 'x');
  // One unfinished line a stream, and the kept line.
  const std::size_t bound = 2 * kMax + 4 * BurnerOutputJudge::kMaxQuotedLength;
  for (int i = 0; i < 50; ++i) {
    judge.Feed(Stream::Output, chunk);
    judge.Feed(Stream::Error, chunk);
    ASSERT_LE(judge.HeldBytes(), bound);
  }
  judge.Feed(Stream::Output, "\nError: after the flood\nVerify OK\n");
  judge.Finish();
  EXPECT_LE(judge.HeldBytes(), bound);
  ASSERT_TRUE(judge.FailTextMatched());
  EXPECT_EQ(judge.FailLine(), "Error: after the flood");
  EXPECT_TRUE(judge.OkTextMatched());
}

TEST_F(BurnerOutputJudgeTest, NestedRepetitionAgainstALongRunAnswersAtOnce) {
  // A backtracking matcher takes exponential time here; RE2 takes one pass.
  const std::string run(100000, 'a');
  EXPECT_FALSE(Patterns("^(a+)+$").FailText->Matches(run + "b"));
  EXPECT_TRUE(Patterns("^(a+)+$").FailText->Matches(run));
  // Through the judge the line is cut at 64 KiB first: a's alone.
  EXPECT_TRUE(Judged(Patterns("^(a+)+$"), run + "b\n", 4096).FailTextMatched());
  EXPECT_FALSE(Judged(Patterns("^(a+)+$"), run.substr(0, 60000) + "b\n", 4096).FailTextMatched());
}

TEST_F(BurnerOutputJudgeTest, TheKeptLineIsCutAt200Characters) {
#ifdef _WIN32
  const std::string character = "\xBF";  // one ANSI byte, "¿"
#else
  const std::string character = "\xC3\xA9";  // "é", two bytes of UTF-8
#endif
  std::string line = "Error: ";
  while (line.size() < 300 * character.size()) line += character;
  const BurnerOutputJudge judge = Judged(Patterns("^Error:"), line + "\n", 1000);
  ASSERT_TRUE(judge.FailTextMatched());
  EXPECT_EQ(judge.FailLine(), line.substr(0, 7 + (200 - 7) * character.size()));
}

}  // namespace
}  // namespace velmorin
