// The error box: how an error that ended a command reaches the operator.
#pragma once

#include <string>

namespace velmorin {

// Shows `message` (core 8-bit encoding) in a modal box titled with the
// application title, with the stop icon and one OK button. A full stop is added
// as ErrorBoxText says.
void ShowErrorBox(const std::string& message);

}  // namespace velmorin
