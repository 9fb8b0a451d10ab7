#include "platform/system/TextEncoding.h"

namespace velmorin {

std::string_view InvertedQuestionMark() {
  return "\xC2\xBF";
}

}  // namespace velmorin
