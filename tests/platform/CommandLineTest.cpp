#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/process/CommandLine.h"

namespace velmorin {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, SplitsOnBlanksAndTabsAndTakesQuotedRunsLiterally) {
  const struct {
    const char* line;
    Args args;
  } cases[] = {
      {"", {}},
      {" \t  ", {}},
      {"prog", {"prog"}},
      {"  prog   -p\tx.hex\t\t-v  ", {"prog", "-p", "x.hex", "-v"}},
      // Apostrophes: literal runs, '' inside stands for one apostrophe.
      {"prog -p '/My Out/b.hex' -v", {"prog", "-p", "/My Out/b.hex", "-v"}},
      {"prog '/Ann''s Out/b_1.hex'", {"prog", "/Ann's Out/b_1.hex"}},
      {"prog '\"quoted\" and $HOME'", {"prog", "\"quoted\" and $HOME"}},
      // Double quotes the same way, "" standing for one.
      {"prog \"a b\" \"say \"\"hi\"\"\"", {"prog", "a b", "say \"hi\""}},
      {"prog \"it's\"", {"prog", "it's"}},
      // Runs join the text around them into one argument.
      {"avrdude -U flash:w:'/My Out/b.hex':i", {"avrdude", "-U", "flash:w:/My Out/b.hex:i"}},
      {"p a'b c'd\"e f\"g", {"p", "ab cde fg"}},
      // Empty runs are empty arguments.
      {"p '' \"\" x", {"p", "", "", "x"}},
      {"p ''''", {"p", "'"}},
      // A run left open takes the rest of the line.
      {"p 'a b  c", {"p", "a b  c"}},
      // Backslash, shell characters and newlines are ordinary.
      {"p C:\\fw\\a\\ b", {"p", "C:\\fw\\a\\", "b"}},
      {"p a;b|c&d`e`$(f)\ng>h<i", {"p", "a;b|c&d`e`$(f)\ng>h<i"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(SplitCommandLine(c.line), c.args);
  }
}

TEST(CommandLine, QuotedArgumentReadsBackExactlyWhereverItStands) {
  const std::string awkward[] = {"",
                                 "plain",
                                 "a b",
                                 "Ann's Out",
                                 "'",
                                 "''",
                                 "end'",
                                 "'start",
                                 "tab\there",
                                 "\"dq\" x",
                                 "a\"b",
                                 "new\nline; $(x) `y` & | z",
                                 "back\\slash",
                                 "  lead and trail  "};
  for (const std::string& argument : awkward) {
    SCOPED_TRACE(argument);
    const std::string quoted = QuoteArgument(argument);
    EXPECT_EQ(SplitCommandLine("prog " + quoted + " next"), (Args{"prog", argument, "next"}));
    EXPECT_EQ(SplitCommandLine("prog -f" + quoted + ":i"), (Args{"prog", "-f" + argument + ":i"}));
  }
}

}  // namespace
}  // namespace velmorin
