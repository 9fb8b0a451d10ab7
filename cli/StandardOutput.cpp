#include "cli/StandardOutput.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include "base/Exceptions.h"
#include "platform/system/Console.h"

namespace velmorin::cli {

namespace {

const std::string kUnableToWrite = "Unable to write to standard output: ";

std::string Reason(int error) {
  return error != 0 ? std::strerror(error) : "the write was refused";
}

}  // namespace

void IgnoreBrokenPipes() {
  velmorin::IgnoreBrokenPipes();
}

std::optional<std::string> TryWriteOutput(std::FILE* out, std::string_view text) {
  // Straight to the descriptor: a buffered stream loses track of what was
  // written when a signal (Ctrl-C) interrupts a write to a full pipe.
  errno = 0;
  if (std::fflush(out) != 0 || std::ferror(out)) return Reason(errno);
  bool failed = false;
  const int error = WriteToStream(out, text, failed);
  if (failed) return Reason(error);
  return std::nullopt;
}

void WriteOutput(std::FILE* out, std::string_view text) {
  if (const auto failure = TryWriteOutput(out, text)) throw Exception(kUnableToWrite + *failure);
}

}  // namespace velmorin::cli
