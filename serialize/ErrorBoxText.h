// The text the error box shows for an exception's message.
#pragma once

#include <string>

namespace velmorin {

// The message with a full stop added when its last character sorts above "."
// (letters, digits, ":", "?" and every non-ASCII byte); a message ending in ".",
// ")", "!", ",", "-", a blank or a line break, and the empty message, stay as they are.
std::string ErrorBoxText(const std::string& message);

}  // namespace velmorin
