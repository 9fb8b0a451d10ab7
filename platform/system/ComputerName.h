// This computer's name, as a station names itself in the production record
// and on the serial server. ComputerNamePosix.cpp and ComputerNameWin.cpp are
// the halves.
#pragma once

#include <string>

namespace velmorin {

// Empty when the system can't tell.
std::string ComputerName();

}  // namespace velmorin
