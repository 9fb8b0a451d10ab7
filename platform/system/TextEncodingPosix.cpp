#include "platform/system/TextEncoding.h"

namespace velmorin {

std::string_view InvertedQuestionMark() {
  return "\xC2\xBF";
}

CoreEncoding CoreTextEncoding() {
  return CoreEncoding::Utf8;
}

}  // namespace velmorin
