#include "platform/system/TextEncoding.h"

namespace velmorin {

std::string_view InvertedQuestionMark() {
  return "\xBF";
}

std::size_t CutLength(std::string_view text, std::size_t limit) {
  return text.size() <= limit ? text.size() : limit;
}

}  // namespace velmorin
