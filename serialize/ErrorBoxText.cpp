#include "serialize/ErrorBoxText.h"

namespace velmorin {

std::string ErrorBoxText(const std::string& message) {
  // Compare as unsigned bytes: a message ending in "¿" (or any other byte of a
  // UTF-8 sequence) sorts above "." and gets its full stop.
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + '.';
  return message;
}

}  // namespace velmorin
