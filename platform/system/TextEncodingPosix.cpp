#include "platform/system/TextEncoding.h"

namespace velmorin {

std::string_view InvertedQuestionMark() {
  return "\xC2\xBF";
}

std::size_t CutLength(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  // text[n] is the first byte left out: while it continues a character, the
  // character's start is left out too.
  const std::size_t lowest = limit >= 3 ? limit - 3 : 0;
  std::size_t n = limit;
  while (n > lowest && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

}  // namespace velmorin
