// The POSIX side; AtomicFileWriterWin.cpp holds the Windows one.
#ifndef _WIN32
#include "AtomicFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "FileErrors.h"

namespace velmorin {

namespace {
constexpr std::size_t kBufferSize = 256 * 1024;

// The permission bits a plain create would give: those of the file being
// replaced, or 0666 less the umask for a new one.
mode_t ModeForTarget(const std::string& fileName) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

void SyncFolder(const std::string& fileName) {
  const int dirFd = ::open(FolderOf(fileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return;  // nothing more can be done; the rename itself succeeded
  ::fsync(dirFd);
  ::close(dirFd);
}
}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string fileName, Durability durability)
    : FFileName(std::move(fileName)), FDurability(durability) {
  if (FFileName.empty()) throw EInOutError(io_code::InvalidFilename);
  const std::string pattern = FFileName + ".tmp-XXXXXX";
  std::string temp = pattern;
  FFd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (FFd < 0) RaiseInOutError(errno, FFileName);
  FTempName = std::move(temp);
  if (::fchmod(FFd, ModeForTarget(FFileName)) != 0) Fail(errno);
  FBuffer.reserve(kBufferSize);
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::Discard() noexcept {
  if (FFd >= 0) {
    ::close(FFd);
    FFd = -1;
  }
  if (!FTempName.empty()) {
    ::unlink(FTempName.c_str());
    FTempName.clear();
  }
}

void AtomicFileWriter::Fail(int err) {
  Discard();
  RaiseInOutError(err, FFileName);
}

void AtomicFileWriter::Write(std::string_view bytes) {
  if (FFd < 0) Fail(EBADF);
  if (FBuffer.size() + bytes.size() > kBufferSize) FlushBuffer();
  if (bytes.size() >= kBufferSize) {
    FBuffer.assign(bytes);
    FlushBuffer();
  } else {
    FBuffer.append(bytes);
  }
}

void AtomicFileWriter::FlushBuffer() {
  std::size_t done = 0;
  while (done < FBuffer.size()) {
    const ssize_t n = ::write(FFd, FBuffer.data() + done, FBuffer.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  FBuffer.clear();
}

void AtomicFileWriter::Commit() {
  if (FFd < 0) Fail(EBADF);
  FlushBuffer();
  if (FDurability == Durability::Synced && ::fsync(FFd) != 0) Fail(errno);
  const int fd = FFd;
  FFd = -1;
  if (::close(fd) != 0) Fail(errno);
  if (::rename(FTempName.c_str(), FFileName.c_str()) != 0) Fail(errno);
  FTempName.clear();
  if (FDurability == Durability::Synced) SyncFolder(FFileName);
}

void AtomicFileWriter::WriteWholeFile(const std::string& fileName, std::string_view contents,
                                      Durability durability) {
  AtomicFileWriter writer(fileName, durability);
  writer.Write(contents);
  writer.Commit();
}

}  // namespace velmorin
#endif
