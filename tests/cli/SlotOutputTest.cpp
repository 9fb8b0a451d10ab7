// How serialize --slots shows several burners at once: each burner's output
// as lines with its slot in front, and the slots' states in a line that fits
// the terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/PrefixedLines.h"
#include "cli/ProgressLine.h"

namespace velmorin {
namespace {

using cli::PrefixedLines;

// Chunks cut anywhere come out as whole lines, each with the prefix, ending
// at LF, CR LF or a bare CR; what is left at the end is a line of its own.
TEST(PrefixedLines, WholeLinesWithTheSlotInFront) {
  const std::string longLine(PrefixedLines::kMaxLength, 'x');
  const struct {
    std::vector<std::string> chunks;
    std::string shown;
  } cases[] = {
      {{"one\ntwo\n"}, "[2] one\n[2] two\n"},
      {{"o", "ne", "\ntw", "o"}, "[2] one\n[2] two\n"},
      {{"crlf\r", "\nnext\r\n"}, "[2] crlf\n[2] next\n"},
      {{"50%\r60%\rdone\n"}, "[2] 50%\n[2] 60%\n[2] done\n"},
      {{"\n\n"}, "[2] \n[2] \n"},
      {{longLine + "y\n"}, "[2] " + longLine + "\n[2] y\n"},
      {{longLine, "\r\n", "z"}, "[2] " + longLine + "\n[2] z\n"},
      {{}, ""},
  };
  for (const auto& c : cases) {
    PrefixedLines lines(PrefixedLines::SlotPrefix(2));
    std::string shown;
    for (const std::string& chunk : c.chunks) shown += lines.Feed(chunk);
    shown += lines.Finish();
    EXPECT_EQ(shown, c.shown);
  }
}

// The slots' states after the count done, cut to the width with "...".
TEST(ProgressLine, SlotsTextFitsTheWidth) {
  const std::vector<std::string> states = {"1004 burning", "1005 burning", "stopped",
                                           "1006 saving"};
  const std::string whole =
      "3 of 12 done; 1: 1004 burning, 2: 1005 burning, 3: stopped, 4: 1006 saving";
  EXPECT_EQ(cli::ProgressLine::SlotsText(3, 12, states, 200), whole);
  EXPECT_EQ(cli::ProgressLine::SlotsText(3, 12, states, whole.size()), whole);
  EXPECT_EQ(cli::ProgressLine::SlotsText(3, 12, states, 20), "3 of 12 done; 1: ...");
  EXPECT_EQ(cli::ProgressLine::SlotsText(3, 12, states, 2), "..");
}

}  // namespace
}  // namespace velmorin
