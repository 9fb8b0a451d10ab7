#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not windows.h's macros
#endif
#include <winsock2.h>

#include "platform/system/SocketWait.h"

namespace velmorin {

int WaitForReading(std::intptr_t socket, std::chrono::milliseconds timeout, std::string& failure) {
  WSAPOLLFD fd{};
  fd.fd = static_cast<SOCKET>(socket);
  fd.events = POLLRDNORM;
  const int ready = ::WSAPoll(&fd, 1, static_cast<int>(timeout.count()));
  if (ready < 0) {
    failure = "waiting for the server failed (Windows socket error " +
              std::to_string(::WSAGetLastError()) + ")";
  }
  return ready;
}

}  // namespace velmorin
