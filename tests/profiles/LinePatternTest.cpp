// How many characters a pattern's "." sees in a line's bytes: UTF-8
// characters where the program's text is UTF-8, each byte of a malformed
// sequence counting as one; single bytes where it is ANSI.
#include <gtest/gtest.h>

#include "LinePattern.h"

namespace velmorin {
namespace {

TEST(LinePattern, DotSeesEveryByteOfMalformedUtf8AsACharacter) {
  if (!LinePattern::Supported()) GTEST_SKIP() << "this build has no RE2";
  const struct {
    const char* Name;
    std::string Bytes;
    int Utf8Characters;
  } cases[] = {
      {"two-byte character", "\xC3\xA9", 1},
      {"four-byte character", "\xF0\x9F\x98\x80", 1},
      {"overlong NUL", "\xC0\x80", 2},
      {"surrogate", "\xED\xA0\x80", 3},
      {"cut short", "\xE2\x82", 2},
      {"past U+10FFFF", "\xF4\x90\x80\x80", 4},
      {"stray byte", "\xFF", 1},
  };
  for (const auto& c : cases) {
#ifdef _WIN32
    const std::size_t characters = c.Bytes.size();
#else
    const auto characters = static_cast<std::size_t>(c.Utf8Characters);
#endif
    std::string why;
    const auto pattern = LinePattern::Compile("^a.{" + std::to_string(characters) + "}b$", why);
    ASSERT_TRUE(pattern) << why;
    EXPECT_TRUE(pattern->Matches("a" + c.Bytes + "b")) << c.Name;
  }
}

}  // namespace
}  // namespace velmorin
