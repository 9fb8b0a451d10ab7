// The POSIX half of the text reader's file: open(2) non-blocking, looked at
// with fstat before the first read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files/FileErrors.h"
#include "platform/files/TextFileReaderFile.h"

namespace velmorin::text_file {

// Opening must not block (a FIFO waits for a writer) nor take a terminal, so
// the file is opened non-blocking and looked at before the first read. A
// folder opens and fails at its read, as it always did.
int Open(const std::string& name, std::uint64_t& size) {
  int fd;
  do {
    fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int err = errno;
    // A socket can't be opened at all (ENXIO): say what it is, not "I/O error 6".
    struct stat st {};
    if (err == ENXIO && ::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      RaiseNotRegular(name);
    }
    RaiseInOutError(err, name);
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    RaiseInOutError(err, name);
  }
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    ::close(fd);
    RaiseNotRegular(name);
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int err = errno;
    ::close(fd);
    RaiseInOutError(err, name);
  }
  size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  return fd;
}

std::ptrdiff_t Read(int fd, char* buffer, std::size_t size) {
  ssize_t got;
  do {
    got = ::read(fd, buffer, size);
  } while (got < 0 && errno == EINTR);
  return got;
}

int LastError() {
  return errno;
}

void Close(int fd) {
  ::close(fd);
}

}  // namespace velmorin::text_file
