#include <io.h>
#include <windows.h>

#include <csignal>

#include "platform/system/Console.h"
#include "platform/system/ConsoleCalls.h"

namespace velmorin {

bool IsTerminal(int fd) {
  return ::_isatty(fd) != 0;
}

int TerminalColumns(int fd) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (handle == INVALID_HANDLE_VALUE || !::GetConsoleScreenBufferInfo(handle, &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
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

namespace console_calls {

int Descriptor(std::FILE* stream) {
  return ::_fileno(stream);
}

std::ptrdiff_t Write(int fd, std::string_view text) {
  return ::_write(fd, text.data(), static_cast<unsigned>(text.size()));
}

int Duplicate(int fd) {
  return ::_dup(fd);
}

bool DuplicateOnto(int fd, int onto) {
  return ::_dup2(fd, onto) == 0;
}

std::FILE* WritingStream(int fd) {
  return ::_fdopen(fd, "w");
}

}  // namespace console_calls

}  // namespace velmorin
