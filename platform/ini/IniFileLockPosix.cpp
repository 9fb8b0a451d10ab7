// The POSIX half of IniFileLock: an open-file-description lock (fcntl
// F_OFD_SETLK) on the lock file, flock where the system has none or where
// only the INI file itself, open for reading, can be locked.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/ini/IniFileLock.h"

namespace velmorin {

namespace {

constexpr auto kHeldGrace = std::chrono::milliseconds(1500);

bool RefusedForCreation(int err) {
  return err == EACCES || err == EPERM || err == EROFS;
}

bool HeldElsewhere(int err) {
  return err == EAGAIN || err == EACCES || err == EWOULDBLOCK;
}

// An exclusive lock on the whole file behind `fd`, without waiting. Returns 0
// or the errno of the refusal.
int LockWhole(int fd, bool writable) {
#ifdef F_OFD_SETLK
  if (writable) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    whole.l_start = 0;
    whole.l_len = 0;  // to the end, however long
    return ::fcntl(fd, F_OFD_SETLK, &whole) == 0 ? 0 : errno;
  }
#else
  (void)writable;
#endif
  // A descriptor open for reading only can't take a write lock; flock can.
  return ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
}

}  // namespace

std::unique_ptr<IniFileLock> IniFileLock::Acquire(const std::string& iniPath) {
  std::unique_ptr<IniFileLock> lock(new IniFileLock);
  std::string target = LockFileName(iniPath);
  bool writable = true;
  // Close-on-exec: a burner we start must not carry the hold past our end.
  int fd = ::open(target.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    // A folder that isn't there holds no INI file either.
    if (errno == ENOENT || errno == ENOTDIR) return lock;
    if (!RefusedForCreation(errno)) RaiseLockFailure(iniPath, errno);
    target = ResolvedPath(iniPath);
    writable = false;
    fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      // No lock file and no INI file: nothing can be written here to hold.
      if (errno == ENOENT) return lock;
      RaiseLockFailure(iniPath, errno);
    }
  }
  // A copy killed while it was starting a burner leaves its descriptor, for a
  // moment, in the child that hasn't reached exec yet (which closes it): such
  // a hold is gone within milliseconds, so it is waited out briefly before a
  // live copy is assumed.
  const auto giveUp = std::chrono::steady_clock::now() + kHeldGrace;
  for (;;) {
    const int err = LockWhole(fd, writable);
    if (err == 0) break;
    if (HeldElsewhere(err) && std::chrono::steady_clock::now() < giveUp) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    ::close(fd);
    if (HeldElsewhere(err)) RaiseInUse(iniPath);
    RaiseLockFailure(iniPath, err);
  }
  lock->FFd = fd;
  lock->FLockedFile = target;
  return lock;
}

IniFileLock::~IniFileLock() {
  // Closing the only descriptor of the open file description releases the lock.
  if (FFd >= 0) ::close(FFd);
}

}  // namespace velmorin
