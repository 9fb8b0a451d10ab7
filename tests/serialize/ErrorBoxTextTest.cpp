#include <gtest/gtest.h>

#include "serialize/ErrorBoxText.h"

namespace velmorin {
namespace {

TEST(ErrorBoxText, AddsAFullStopOnlyAfterCharactersAboveTheFullStop) {
  const struct {
    std::string message;
    std::string shown;
  } cases[] = {
      {"Invalid checksum", "Invalid checksum."},  // letter
      {"I/O error 32", "I/O error 32."},          // digit
      {"Unable to write to:", "Unable to write to:."},
      {"Really?", "Really?."},
      {"'' is not a valid integer value", "'' is not a valid integer value."},
      {"Skeleton file not found.", "Skeleton file not found."},
      {"Record type not supported (06)", "Record type not supported (06)"},
      {"Stop!", "Stop!"},
      {"one, two,", "one, two,"},
      {"a-", "a-"},
      {"trailing blank ", "trailing blank "},
      {"line break\r\n", "line break\r\n"},
      {"line break\n", "line break\n"},
      {"/", "/."},  // the first character above "."
      {"", ""},
      {"\xC2\xBF", "\xC2\xBF."},  // a non-ASCII last character sorts above "."
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("message: [" + c.message + "]");
    EXPECT_EQ(ErrorBoxText(c.message), c.shown);
  }
}

}  // namespace
}  // namespace velmorin
