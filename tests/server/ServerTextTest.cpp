#include <gtest/gtest.h>

#include "server/ServerText.h"

namespace velmorin {
namespace {

TEST(ServerText, KeepsUtf8AndEscapesEverythingElseOnce) {
  struct Case {
    std::string Bytes, Text;
  };
  const Case cases[] = {
      {"board", "board"},
      {"C:\\fw\\board.hex", "C:\\fw\\board.hex"},
      {"B\xC3\xBCro \xE2\x82\xAC \xF0\x9F\x94\xA5", "B\xC3\xBCro \xE2\x82\xAC \xF0\x9F\x94\xA5"},
      {"B\xFCro\\fw", "B\\xFCro\\\\fw"},             // Latin-1; its backslash doubled
      {"\xC0\x80", "\\xC0\\x80"},                    // an overlong NUL
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},           // a surrogate
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},  // past U+10FFFF
      {"ab\xE2\x82", "ab\\xE2\\x82"},                // cut short
      {std::string("a\0b", 3), "a\\x00b"},
      {"b\\xFFoard", "b\\\\xFFoard"},  // looks escaped: escaped again
      {"b\\xFgoard", "b\\xFgoard"},    // does not
  };
  for (const Case& c : cases) EXPECT_EQ(ServerText(c.Bytes), c.Text) << c.Text;
}

}  // namespace
}  // namespace velmorin
