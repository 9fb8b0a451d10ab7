// Text to 32-bit integer, as the operator types it and as the INI file holds it:
// leading blanks, an optional sign, then decimal digits or hexadecimal digits
// after "$", "x", "X", "0x" or "0X", and nothing after the digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmorin {

// The value, or nothing when the text is no integer.
std::optional<std::int32_t> TryParseInteger(std::string_view text);

// The value; raises EConvertError "'<text>' is not a valid integer value".
std::int32_t ParseInteger(const std::string& text);

// The value, or `defaultValue` when the text is no integer.
std::int32_t ParseIntegerOr(std::string_view text, std::int32_t defaultValue);

}  // namespace velmorin
