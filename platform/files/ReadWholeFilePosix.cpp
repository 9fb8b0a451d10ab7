// The POSIX half of ReadWholeFile: open, fstat for the size, read until the end.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files/ReadWholeFile.h"

namespace velmorin {

int ReadWholeFile(const std::string& fileName, std::string& text) {
  text.clear();
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? 0 : errno;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    text.reserve(static_cast<std::size_t>(st.st_size));
  }
  char buffer[65536];
  int result = 0;
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      result = errno;
      break;
    }
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return result;
}

}  // namespace velmorin
