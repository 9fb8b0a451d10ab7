// What fuzzing found, each fixed, kept as ordinary tests beside the corpus
// inputs that found them (fuzz/corpus/<harness>/crash-*).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BurnerCommand.h"
#include "CommandLine.h"

namespace velmorin {
namespace {

using Args = std::vector<std::string>;

// Two quoted paths back to back used to read as one run with a doubled
// apostrophe inside: "$image$image" with "a<TAB>b" gave "a<TAB>b'a<TAB>b".
TEST(FuzzFindings, QuotedPathsBackToBackSplitIntoThePathsJoined) {
  const struct {
    const char* commandTemplate;
    const char* path;
    const char* line;
    Args arguments;
  } cases[] = {
      {"$image$image", "a\tb", "'a\tba\tb'", {"a\tba\tb"}},
      {"prog $image$image", "/a b", "prog '/a b/a b'", {"prog", "/a b/a b"}},
      {"prog -p$image$image$image.x",
       "/Ann's",
       "prog -p'/Ann''s/Ann''s/Ann''s'.x",
       {"prog", "-p/Ann's/Ann's/Ann's.x"}},
      // Text between the placeholders keeps the runs apart, as before.
      {"prog $image-$image", "/a b", "prog '/a b'-'/a b'", {"prog", "/a b-/a b"}},
      {"prog $image $image", "/a b", "prog '/a b' '/a b'", {"prog", "/a b", "/a b"}},
      // Paths that need no quotes are untouched.
      {"prog $image$image", "/ab", "prog /ab/ab", {"prog", "/ab/ab"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.commandTemplate);
    const std::string line = BuildBurnerCommandLine(c.commandTemplate, c.path);
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(SplitCommandLine(line), c.arguments);
  }
}

}  // namespace
}  // namespace velmorin
