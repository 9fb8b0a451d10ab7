// The burner's output split into lines and matched: line ends across chunk
// boundaries, the two streams kept apart, the 64 KiB cap with bounded memory,
// and patterns that would make a backtracking matcher hang.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BurnerOutputJudge.h"

namespace velmorin {
namespace {

using Stream = BurnerOutputJudge::Stream;

BurnerJudgement Patterns(const std::string& fail, const std::string& ok = {}) {
  BurnerJudgement judgement;
  if (!fail.empty()) ApplyBurnerJudgementKey(judgement, "BurnerFailText", fail);
  if (!ok.empty()) ApplyBurnerJudgementKey(judgement, "BurnerOkText", ok);
  return judgement;
}

class BurnerOutputJudgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!LinePattern::Supported()) GTEST_SKIP() << "this build has no RE2";
  }
};

struct SplitCase {
  const char* Name;
  std::vector<std::string> Chunks;  // all on standard output
  const char* Fail;
  const char* Ok;
  const char* FailLine;  // nullptr: no line matches the fail text
  bool OkMatched;
};

TEST_F(BurnerOutputJudgeTest, LinesEndAtLfCrLfAndBareCrWhereverTheChunksAreCut) {
  const SplitCase cases[] = {
      {"LF inside a line's text", {"Err", "or: x\n", "y\n"}, "^Error: x$", "^y$", "Error: x", true},
      {"CR LF in one chunk", {"Error: x\r\nVerify OK\r\n"}, "x$", "OK$", "Error: x", true},
      {"CR LF split: one line end", {"a\r", "\nb\r", "\n"}, "^b$", "^$", "b", false},
      {"two CRs: an empty line between", {"a\r", "\rb"}, "^b$", "^$", "b", true},
      {"LF CR: two line ends", {"a\n\rb"}, "^b$", "^$", "b", true},
      {"progress bar", {"10%\r20%\r", "100%\rError: z\r"}, "^Error: z$", "^20%$", "Error: z", true},
      {"last line without a line end",
       {"ok\n", "Error: end"},
       "^Error: end$",
       "^ok$",
       "Error: end",
       true},
      {"the first matching line is kept", {"Error: 1\nError: 2\n"}, "Error", "", "Error: 1", false},
      {"line ends are not matched", {"\r\n\n\r"}, "\\r|\\n", "", nullptr, false},
  };
  for (const SplitCase& c : cases) {
    for (const bool byteByByte : {false, true}) {
      SCOPED_TRACE(std::string(c.Name) + (byteByByte ? ", byte by byte" : ""));
      BurnerOutputJudge judge(Patterns(c.Fail, c.Ok));
      for (const std::string& chunk : c.Chunks) {
        if (!byteByByte) judge.Feed(Stream::Output, chunk);
        for (std::size_t i = 0; byteByByte && i < chunk.size(); ++i) {
          judge.Feed(Stream::Output, std::string_view(chunk).substr(i, 1));
        }
      }
      judge.Finish();
      ASSERT_EQ(judge.FailTextMatched(), c.FailLine != nullptr);
      if (c.FailLine != nullptr) {
        EXPECT_EQ(judge.FailLine(), c.FailLine);
      }
      EXPECT_EQ(judge.OkTextMatched(), c.OkMatched);
    }
  }
}

TEST_F(BurnerOutputJudgeTest, TheLastLineCountsOnlyWhenTheOutputEnds) {
  BurnerOutputJudge judge(Patterns("^Error: late$"));
  judge.Feed(Stream::Output, "Error: late");
  EXPECT_FALSE(judge.FailTextMatched());  // more of the line may follow
  judge.Finish();
  EXPECT_TRUE(judge.FailTextMatched());
}

TEST_F(BurnerOutputJudgeTest, EachStreamIsSplitOnItsOwn) {
  BurnerOutputJudge judge(Patterns("Error:", "^Verify OK$"));
  judge.Feed(Stream::Output, "Err");
  judge.Feed(Stream::Error, "or: not one line\nVerify");
  judge.Feed(Stream::Output, "or\nVerify");
  judge.Feed(Stream::Error, " OK\r");
  judge.Feed(Stream::Output, " OK? no\n");
  judge.Finish();
  EXPECT_FALSE(judge.FailTextMatched());  // "Error" and "or: not one line"
  EXPECT_TRUE(judge.OkTextMatched());     // on standard error
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
      {"Verify OK$", "Verify OK\r\n", true},
      {"Verify OK$", "Verify OK (3 s)\n", false},
      {"^Verify OK$", "  Verify OK\n", false},
      {"^$", "text\n\nmore\n", true},
      {"^$", "text\n", false},
      {"error:", "Error: case counts\n", false},
      {"(?i)error:", "ERROR: unless asked\n", true},
      {"^Error: .*d$", "Error: \xFF\xC3 bad\n", true},  // not UTF-8, yet "." matches
#ifndef _WIN32
      {"^Error: .$", "Error: \xE2\x82\xAC\n", true},  // one UTF-8 character, three bytes
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Pattern) + " in " + c.Output);
    BurnerOutputJudge judge(Patterns({}, c.Pattern));
    judge.Feed(Stream::Output, c.Output);
    judge.Finish();
    EXPECT_EQ(judge.OkTextMatched(), c.Matches);
  }
}

TEST_F(BurnerOutputJudgeTest, ALongLineIsMatchedOnItsFirst64KiB) {
  constexpr std::size_t kMax = BurnerOutputJudge::kMaxLineLength;
  const struct {
    const char* Name;
    std::string Output;
    const char* Fail;
    bool Matches;
  } cases[] = {
      {"fail text inside the cap", std::string(kMax - 6, 'a') + "Error:\n", "Error:$", true},
      {"fail text behind the cap", std::string(kMax - 5, 'a') + "Error:\n", "Error:", false},
      {"$ marks the cut", std::string(kMax, 'a') + "b\n", "^a+$", true},
      {"the next line is whole", std::string(3 * kMax, 'a') + "\nError: next\n", "^Error: next$",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    for (const std::size_t chunk : {std::size_t{7}, kMax - 1, c.Output.size()}) {
      BurnerOutputJudge judge(Patterns(c.Fail));
      for (std::size_t at = 0; at < c.Output.size(); at += chunk) {
        judge.Feed(Stream::Output, std::string_view(c.Output).substr(at, chunk));
      }
      judge.Finish();
      EXPECT_EQ(judge.FailTextMatched(), c.Matches) << "chunks of " << chunk;
    }
  }
}

TEST_F(BurnerOutputJudgeTest, A50MBLineWithoutEndThenAnErrorLineFailsInBoundedMemory) {
  BurnerOutputJudge judge(Patterns("^Error:", "^Verify OK$"));
  const std::string chunk(1024 * 1024, 'x');
  // Room for one unfinished line a stream and the kept line.
  const std::size_t bound = 2 * BurnerOutputJudge::kMaxLineLength + 4 * 200;
  std::size_t most = 0;
  for (int i = 0; i < 50; ++i) {
    judge.Feed(Stream::Output, chunk);
    judge.Feed(Stream::Error, chunk);
    most = std::max(most, judge.HeldBytes());
  }
  judge.Feed(Stream::Output, "\nError: after the flood\nVerify OK\n");
  judge.Finish();
  EXPECT_LE(most, bound);
  EXPECT_LE(judge.HeldBytes(), bound);
  ASSERT_TRUE(judge.FailTextMatched());
  EXPECT_EQ(judge.FailLine(), "Error: after the flood");
  EXPECT_TRUE(judge.OkTextMatched());
}

TEST_F(BurnerOutputJudgeTest, NestedRepetitionAgainstALongRunAnswersAtOnce) {
  // A backtracking matcher takes exponential time here; RE2 takes one pass.
  const std::string run(100000, 'a');
  const std::string pattern = "^(a+)+$";
  std::string why;
  const auto compiled = LinePattern::Compile(pattern, why);
  ASSERT_TRUE(compiled) << why;
  EXPECT_FALSE(compiled->Matches(run + "b"));
  EXPECT_TRUE(compiled->Matches(run));
  // Through the judge, within the cap the b spoils the match; beyond it the
  // line is its first 64 KiB, a's alone.
  for (const auto& [line, matches] :
       {std::pair{std::string(60000, 'a') + "b", false}, std::pair{run + "b", true}}) {
    BurnerOutputJudge judge(Patterns(pattern));
    judge.Feed(Stream::Error, line + "\n");
    judge.Finish();
    EXPECT_EQ(judge.FailTextMatched(), matches) << line.size();
  }
}

TEST_F(BurnerOutputJudgeTest, TheKeptLineIsCutAt200Characters) {
#ifdef _WIN32
  const std::string character = "\xBF";  // one ANSI byte, "¿"
#else
  const std::string character = "\xC3\xA9";  // "é", two bytes of UTF-8
#endif
  std::string line = "Error: ";
  while (line.size() < 300 * character.size()) line += character;
  BurnerOutputJudge judge(Patterns("^Error:"));
  judge.Feed(Stream::Output, line + "\n");
  judge.Finish();
  ASSERT_TRUE(judge.FailTextMatched());
  const std::size_t expected = 7 + (200 - 7) * character.size();
  EXPECT_EQ(judge.FailLine(), line.substr(0, expected));
  EXPECT_EQ(BurnerOutputJudge::CutToCharacters("short", 200), "short");
}

}  // namespace
}  // namespace velmorin
