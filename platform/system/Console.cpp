// What the console does on every system, over its half's descriptor calls.
#include "platform/system/Console.h"

#include <cerrno>

#include "base/Exceptions.h"
#include "platform/system/ConsoleCalls.h"

namespace velmorin {

int WriteToStream(std::FILE* out, std::string_view text, bool& failed) {
  const int fd = console_calls::Descriptor(out);
  failed = false;
  while (!text.empty()) {
    const std::ptrdiff_t wrote = console_calls::Write(fd, text);
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
  const int copy = console_calls::Duplicate(1);
  if (copy < 0 || !console_calls::DuplicateOnto(2, 1)) {
    throw Exception("Unable to set standard output aside");
  }
  std::FILE* stream = console_calls::WritingStream(copy);
  if (stream == nullptr) throw Exception("Unable to set standard output aside");
  return stream;
}

}  // namespace velmorin
