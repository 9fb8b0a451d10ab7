#include "base/ParseInteger.h"

#include "base/Exceptions.h"

namespace velmorin {

namespace {
int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::optional<std::int32_t> TryParseInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;  // no digits

  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit =
        hex ? HexDigitValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return std::nullopt;  // too many digits for 32 bits
  }
  if (hex) {
    // A hexadecimal number is a 32-bit pattern: eight F digits are -1.
    const auto pattern = static_cast<std::uint32_t>(value);
    const auto result = static_cast<std::int32_t>(negative ? 0u - pattern : pattern);
    return result;
  }
  if (negative) {
    if (value > 0x80000000ull) return std::nullopt;
    return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(value));
  }
  if (value > 0x7FFFFFFFull) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::int32_t ParseInteger(const std::string& text) {
  if (const auto value = TryParseInteger(text)) return *value;
  throw EConvertError("'" + text + "' is not a valid integer value");
}

std::int32_t ParseIntegerOr(std::string_view text, std::int32_t defaultValue) {
  return TryParseInteger(text).value_or(defaultValue);
}

}  // namespace velmorin
