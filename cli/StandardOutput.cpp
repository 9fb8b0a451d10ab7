#include "cli/StandardOutput.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "base/Exceptions.h"

namespace velmorin::cli {

namespace {

const std::string kUnableToWrite = "Unable to write to standard output: ";

std::string Reason(int error) {
  return error != 0 ? std::strerror(error) : "the write was refused";
}

}  // namespace

void IgnoreBrokenPipes() {
#ifndef _WIN32
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

std::optional<std::string> TryWriteOutput(std::FILE* out, std::string_view text) {
  // Straight to the descriptor: a buffered stream loses track of what was
  // written when a signal (Ctrl-C) interrupts a write to a full pipe.
  errno = 0;
  if (std::fflush(out) != 0 || std::ferror(out)) return Reason(errno);
#ifdef _WIN32
  const int fd = ::_fileno(out);
#else
  const int fd = ::fileno(out);
#endif
  while (!text.empty()) {
#ifdef _WIN32
    const int wrote = ::_write(fd, text.data(), static_cast<unsigned>(text.size()));
#else
    const ssize_t wrote = ::write(fd, text.data(), text.size());
#endif
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return Reason(errno);
    text.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return std::nullopt;
}

void WriteOutput(std::FILE* out, std::string_view text) {
  if (const auto failure = TryWriteOutput(out, text)) throw Exception(kUnableToWrite + *failure);
}

}  // namespace velmorin::cli
