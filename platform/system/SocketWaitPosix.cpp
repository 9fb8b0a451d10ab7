#include <poll.h>

#include <cerrno>
#include <cstring>

#include "platform/system/SocketWait.h"

namespace velmorin {

int WaitForReading(std::intptr_t socket, std::chrono::milliseconds timeout, std::string& failure) {
  pollfd fd{};
  fd.fd = static_cast<int>(socket);
  fd.events = POLLIN;
  const int ready = ::poll(&fd, 1, static_cast<int>(timeout.count()));
  if (ready < 0 && errno == EINTR) return 0;
  if (ready < 0) failure = std::strerror(errno);
  return ready;
}

}  // namespace velmorin
