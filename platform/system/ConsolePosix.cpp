#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

#include "platform/system/Console.h"
#include "platform/system/ConsoleCalls.h"

namespace velmorin {

bool IsTerminal(int fd) {
  return ::isatty(fd) != 0;
}

int TerminalColumns(int fd) {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
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

namespace console_calls {

int Descriptor(std::FILE* stream) {
  return ::fileno(stream);
}

std::ptrdiff_t Write(int fd, std::string_view text) {
  return ::write(fd, text.data(), text.size());
}

int Duplicate(int fd) {
  return ::dup(fd);
}

bool DuplicateOnto(int fd, int onto) {
  return ::dup2(fd, onto) >= 0;
}

std::FILE* WritingStream(int fd) {
  return ::fdopen(fd, "w");
}

}  // namespace console_calls

}  // namespace velmorin
