#include "platform/system/TextEncoding.h"

namespace velmorin {

std::string_view InvertedQuestionMark() {
  return "\xBF";
}

CoreEncoding CoreTextEncoding() {
  return CoreEncoding::AnsiCodePage;
}

}  // namespace velmorin
