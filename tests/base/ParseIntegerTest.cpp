#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/Exceptions.h"
#include "base/ParseInteger.h"

namespace velmorin {
namespace {

struct Case {
  std::string text;
  std::optional<std::int32_t> value;  // nothing: not an integer
};

const Case kCases[] = {
    // Decimal, signs and leading blanks.
    {"0", 0},
    {"42", 42},
    {"+42", 42},
    {"-42", -42},
    {"   7", 7},
    {"  -7", -7},
    {"007", 7},
    {"-0", 0},
    // The limits of 32 bits and one past each.
    {"2147483647", 2147483647},
    {"-2147483648", INT32_MIN},
    {"2147483648", std::nullopt},
    {"-2147483649", std::nullopt},
    {"99999999999999999999", std::nullopt},
    // Every hexadecimal prefix, digits of either case.
    {"$1F", 31},
    {"x1f", 31},
    {"X1F", 31},
    {"0x1f", 31},
    {"0X1F", 31},
    {"  $ff", 255},
    {"-$10", -16},
    {"+0x10", 16},
    // Hexadecimal numbers are 32-bit patterns.
    {"$FFFFFFFF", -1},
    {"0xffffffff", -1},
    {"$80000000", INT32_MIN},
    {"$7FFFFFFF", 2147483647},
    {"-$FFFFFFFF", 1},
    {"$000000001", 1},             // leading zeros do not count against the width
    {"$100000000", std::nullopt},  // nine significant digits
    // Nothing may follow the digits; blanks count only in front; no digits, no number.
    {"5 ", std::nullopt},
    {"$5 ", std::nullopt},
    {"5a", std::nullopt},
    {"", std::nullopt},
    {"   ", std::nullopt},
    {"-", std::nullopt},
    {"+", std::nullopt},
    {"$", std::nullopt},
    {"x", std::nullopt},
    {"0x", std::nullopt},
    {"-0x", std::nullopt},
    {"- 5", std::nullopt},
    {"\t5", std::nullopt},  // only spaces are blanks
    {"+-5", std::nullopt},
    {"$-5", std::nullopt},
    {"$G", std::nullopt},
    {"1.0", std::nullopt},
    {"0x0x1", std::nullopt},
    {std::string("5\0", 2), std::nullopt},
};

TEST(ParseInteger, ReadsTheTextsOfTheTable) {
  for (const Case& c : kCases) {
    SCOPED_TRACE("text: [" + c.text + "]");
    EXPECT_EQ(TryParseInteger(c.text), c.value);
    EXPECT_EQ(ParseIntegerOr(c.text, 12345), c.value.value_or(12345));
    if (c.value) {
      EXPECT_EQ(ParseInteger(c.text), *c.value);
    } else {
      EXPECT_THROW(ParseInteger(c.text), EConvertError);
    }
  }
}

TEST(ParseInteger, FailureMessageQuotesTheTextUnchanged) {
  for (const std::string text : {"", "   ", " 12 ", "abc", "0x", "2147483648"}) {
    SCOPED_TRACE("text: [" + text + "]");
    try {
      ParseInteger(text);
      ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + text + "' is not a valid integer value");
    }
  }
}

}  // namespace
}  // namespace velmorin
