// ParseInteger against a plain model of the conversion rule: leading blanks,
// an optional sign, then decimal digits within the signed 32-bit range, or
// hexadecimal digits after "$", "x", "X", "0x" or "0X" whose value fits in 32
// bits (taken as a bit pattern), and nothing after the digits.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/Exceptions.h"
#include "base/ParseInteger.h"
#include "fuzz/FuzzCheck.h"

namespace {

std::optional<std::int32_t> Model(std::string_view text) {
  const std::size_t firstNonBlank = text.find_first_not_of(' ');
  if (firstNonBlank == text.npos) return std::nullopt;
  text.remove_prefix(firstNonBlank);
  bool negative = false;
  if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.starts_with("$") || text.starts_with("x") || text.starts_with("X")) {
    base = 16;
    text.remove_prefix(1);
  }
  // from_chars takes no sign or prefix of its own: the rest must be digits only.
  if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  if (stop != end) return std::nullopt;
  if (error == std::errc::result_out_of_range) return std::nullopt;
  if (base == 16) {
    if (value > 0xFFFFFFFFu) return std::nullopt;
    const auto pattern = static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>(negative ? 0u - pattern : pattern);
  }
  if (negative) {
    if (value > 2147483648u) return std::nullopt;
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(value));
  }
  if (value > 2147483647u) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::int32_t> expected = Model(text);
  FUZZ_CHECK(velmorin::TryParseInteger(text) == expected);
  FUZZ_CHECK(velmorin::ParseIntegerOr(text, 12345) == expected.value_or(12345));
  try {
    const std::int32_t value = velmorin::ParseInteger(text);
    FUZZ_CHECK(expected && value == *expected);
  } catch (const velmorin::EConvertError& e) {
    FUZZ_CHECK(!expected);
    FUZZ_CHECK(e.Message() == "'" + text + "' is not a valid integer value");
  }
  return 0;
}
