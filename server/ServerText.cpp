#include "server/ServerText.h"

#include <cctype>

namespace velmorin {

namespace {

bool InRange(int c, int low, int high) {
  return c >= low && c <= high;
}

// The length of the UTF-8 character at `at`, as the server checks it (no
// overlong forms, no surrogates, nothing past U+10FFFF, no NUL); 0 when the
// byte there starts none.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) -> int {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
  };
  const int lead = byte(0);
  const auto tail = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
      if (!InRange(byte(i), 0x80, 0xBF)) return false;
    return true;
  };
  if (InRange(lead, 0x01, 0x7F)) return 1;
  if (InRange(lead, 0xC2, 0xDF)) return tail(1, 2) ? 2 : 0;
  if (lead == 0xE0) return InRange(byte(1), 0xA0, 0xBF) && tail(2, 3) ? 3 : 0;
  if (lead == 0xED) return InRange(byte(1), 0x80, 0x9F) && tail(2, 3) ? 3 : 0;
  if (InRange(lead, 0xE1, 0xEF)) return tail(1, 3) ? 3 : 0;
  if (lead == 0xF0) return InRange(byte(1), 0x90, 0xBF) && tail(2, 4) ? 4 : 0;
  if (lead == 0xF4) return InRange(byte(1), 0x80, 0x8F) && tail(2, 4) ? 4 : 0;
  if (InRange(lead, 0xF1, 0xF3)) return tail(1, 4) ? 4 : 0;
  return 0;
}

bool LooksEscaped(std::string_view text) {
  for (std::size_t at = text.find("\\x"); at != std::string_view::npos;
       at = text.find("\\x", at + 1)) {
    if (at + 3 < text.size() && std::isxdigit(static_cast<unsigned char>(text[at + 2])) &&
        std::isxdigit(static_cast<unsigned char>(text[at + 3])))
      return true;
  }
  return false;
}

}  // namespace

std::string ServerText(std::string_view bytes) {
  bool plain = !LooksEscaped(bytes);
  for (std::size_t at = 0; plain && at < bytes.size();) {
    const std::size_t length = CharacterLength(bytes, at);
    plain = length != 0;
    at += length;
  }
  if (plain) return std::string(bytes);

  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = CharacterLength(bytes, at);
    if (length == 0) {
      const auto byte = static_cast<unsigned char>(bytes[at]);
      text += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
      ++at;
    } else {
      if (bytes[at] == '\\') text += '\\';
      text.append(bytes.substr(at, length));
      at += length;
    }
  }
  return text;
}

}  // namespace velmorin
