// The escaping of names that `pool list` and `pool show` print as text.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "cli/EscapedText.h"

namespace velmorin {
namespace {

// A pool's name as `pool list` shows it: control characters escaped C-style,
// everything else as it is.
TEST(EscapedText, ControlCharactersAreShownEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"board", "board"},
      {"a\tb", "a\\tb"},
      {"line\r\nnext", "line\\r\\nnext"},
      {"back\\slash", "back\\\\slash"},
      {"\x1b[2J", "\\x1B[2J"},
      {std::string("nul\0!", 5), "nul\\x00!"},
      {"del\x7f", "del\\x7F"},
      {"\xc2\x9b[31m", "\\xC2\\x9B[31m"},                // U+009B, the one-byte CSI
      {"K\xc3\xa4se \xc2\xa0", "K\xc3\xa4se \xc2\xa0"},  // letters and U+00A0 stay
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(cli::EscapedText(text), shown) << shown;
}

}  // namespace
}  // namespace velmorin
