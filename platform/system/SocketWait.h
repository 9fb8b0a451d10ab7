// A wait for a socket to have something to read, as a network client that
// keeps its own loop needs (the serial server's libpq connection).
// SocketWaitPosix.cpp (poll) and SocketWaitWin.cpp (WSAPoll) are the halves.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace velmorin {

// Waits up to `timeout` for `socket` (a descriptor; a SOCKET on Windows) to
// be readable: above 0 when it is, 0 on time-out (also when a signal cut the
// wait short: the caller waits again for what is left), below 0 on failure
// with the reason in `failure`.
int WaitForReading(std::intptr_t socket, std::chrono::milliseconds timeout, std::string& failure);

}  // namespace velmorin
