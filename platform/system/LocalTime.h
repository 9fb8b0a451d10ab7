// The local time of a moment and its offset from UTC, as the production
// record writes it. LocalTimePosix.cpp and LocalTimeWin.cpp are the halves.
#pragma once

#include <ctime>

namespace velmorin {

// `when` in local time into `local`; returns the offset from UTC in seconds.
long LocalTimeOf(std::time_t when, std::tm& local);

}  // namespace velmorin
