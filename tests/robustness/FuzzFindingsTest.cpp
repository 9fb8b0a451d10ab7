// What fuzzing found, each fixed, kept as ordinary tests beside the corpus
// inputs that found them (fuzz/corpus/<harness>/crash-*).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ini/IniFile.h"
#include "platform/process/CommandLine.h"
#include "serialize/BurnerCommand.h"
#include "tests/support/TempDir.h"

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

// A value longer than the 2047 bytes a read returns is cut there, but never
// inside a UTF-8 character. A run of bytes that only continue characters (text
// in another encoding) used to walk the cut back to nothing.
TEST(FuzzFindings, LongValueIsCutNearItsLimitWhateverItsBytes) {
  test::TempDir dir;
  IniFile ini(dir.File("velmorin.ini"));
  const std::string euro = "\xE2\x82\xAC";
  const struct {
    std::string value;
    std::size_t kept;
  } cases[] = {
      {std::string(3000, '\x80'), 2044},
      {std::string(2045, 'a') + euro + "tail", 2045},
      {std::string(2044, 'a') + euro + "tail", 2047},
      {std::string(3000, 'a'), 2047},
  };
  for (const auto& c : cases) {
    ini.WriteString("s", "k", c.value);
    EXPECT_EQ(ini.ReadString("s", "k", "absent"), c.value.substr(0, c.kept));
  }
}

}  // namespace
}  // namespace velmorin
