#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "base/Exceptions.h"
#include "platform/system/Console.h"

namespace velmorin {

bool IsTerminal(int fd) {
  return ::isatty(fd) != 0;
}

int ReadStandardInputByte(char& c) {
  const ssize_t got = ::read(0, &c, 1);
  return got < 0 ? -1 : static_cast<int>(got);
}

void CatchStopSignals(void (*handler)(int)) {
  // No SA_RESTART: a read of the chip prompt's answer must return at once.
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

void IgnoreBrokenPipes() {
  std::signal(SIGPIPE, SIG_IGN);
}

int WriteToStream(std::FILE* out, std::string_view text, bool& failed) {
  const int fd = ::fileno(out);
  failed = false;
  while (!text.empty()) {
    const ssize_t wrote = ::write(fd, text.data(), text.size());
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
  const int copy = ::dup(1);
  if (copy < 0 || ::dup2(2, 1) < 0) throw Exception("Unable to set standard output aside");
  std::FILE* stream = ::fdopen(copy, "w");
  if (stream == nullptr) throw Exception("Unable to set standard output aside");
  return stream;
}

}  // namespace velmorin
