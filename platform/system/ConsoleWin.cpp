#include <io.h>

#include <cerrno>
#include <csignal>

#include "base/Exceptions.h"
#include "platform/system/Console.h"

namespace velmorin {

bool IsTerminal(int fd) {
  return ::_isatty(fd) != 0;
}

int ReadStandardInputByte(char& c) {
  const int got = ::_read(0, &c, 1);
  return got < 0 ? -1 : got;
}

void CatchStopSignals(void (*handler)(int)) {
  std::signal(SIGINT, handler);
  std::signal(SIGTERM, handler);
}

void IgnoreBrokenPipes() {}

int WriteToStream(std::FILE* out, std::string_view text, bool& failed) {
  const int fd = ::_fileno(out);
  failed = false;
  while (!text.empty()) {
    const int wrote = ::_write(fd, text.data(), static_cast<unsigned>(text.size()));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      failed = true;
      return errno;
    }
    text.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return 0;
}

std::FILE* SetAsideStandardOutput() {
  std::fflush(stdout);
  const int copy = ::_dup(1);
  if (copy < 0 || ::_dup2(2, 1) != 0) throw Exception("Unable to set standard output aside");
  std::FILE* stream = ::_fdopen(copy, "w");
  if (stream == nullptr) throw Exception("Unable to set standard output aside");
  return stream;
}

}  // namespace velmorin
