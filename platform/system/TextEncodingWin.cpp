#include "platform/system/TextEncoding.h"

namespace velmorin {

std::string_view InvertedQuestionMark() {
  return "\xBF";
}

}  // namespace velmorin
