// The POSIX half of ExecutablePath: /proc/self/exe.
#include <unistd.h>

#include <cerrno>

#include "platform/files/FileErrors.h"
#include "platform/system/ExecutablePath.h"

namespace velmorin {

std::string ExecutablePath() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) RaiseInOutError(errno, "/proc/self/exe");
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      return path;
    }
    path.resize(path.size() * 2);  // the link may have been cut: try a larger buffer
  }
}

}  // namespace velmorin
