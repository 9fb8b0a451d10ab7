// The POSIX half of the record file: open non-blocking for the open alone,
// one write (the rest follows a short one), fsync, and fsync of the folder
// that gained a new file's name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files/FileErrors.h"
#include "platform/files/RecordFileHandle.h"
#include "platform/files/WriteFullyPosix.h"

namespace velmorin {

RecordFileHandle::RecordFileHandle(const std::string& fileName) : FFileName(fileName) {
  // Non-blocking only for the open: a FIFO in the record's place must not hang us.
  do {
    FFd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (FFd < 0 && errno == EINTR);
  if (FFd < 0) RaiseInOutError(errno, fileName);
  struct stat st {};
  if (::fstat(FFd, &st) != 0) Fail(errno);
  if (!S_ISREG(st.st_mode)) Fail(EACCES);
  if (::fcntl(FFd, F_SETFL, O_APPEND) != 0) Fail(errno);
  FSize = static_cast<std::uint64_t>(st.st_size);
}

void RecordFileHandle::Release() noexcept {
  if (FFd >= 0) {
    ::close(FFd);
    FFd = -1;
  }
}

char RecordFileHandle::LastByte() {
  char c = 0;
  const ssize_t got = ::pread(FFd, &c, 1, static_cast<off_t>(FSize - 1));
  if (got != 1) Fail(got < 0 ? errno : EIO);
  return c;
}

void RecordFileHandle::Append(std::string_view block) {
  // One write; a regular file takes it whole unless the disk fills up, and then
  // the rest follows so the line isn't left torn where it can be helped.
  if (const int err = WriteFully(FFd, block)) Fail(err);
}

void RecordFileHandle::Close() {
  if (::fsync(FFd) != 0) Fail(errno);
  const int fd = FFd;
  FFd = -1;
  if (::close(fd) != 0) RaiseInOutError(errno, FFileName);
  if (FSize == 0) {
    // A new file's name must survive a power cut too.
    const int dirFd = ::open(FolderOf(FFileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
      ::fsync(dirFd);
      ::close(dirFd);
    }
  }
}

}  // namespace velmorin
