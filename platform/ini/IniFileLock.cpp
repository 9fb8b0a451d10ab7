#include "platform/ini/IniFileLock.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <filesystem>

#include "base/Exceptions.h"
#include "platform/files/FileErrors.h"

namespace velmorin {

namespace {

[[noreturn]] void RaiseInUse(const std::string& iniPath) {
  throw EIniFileInUse("The INI file " + iniPath + " is in use by another copy of Velmorin");
}

[[noreturn]] void RaiseLockFailure(const std::string& iniPath, int err) {
  std::string reason;
  try {
    RaiseInOutError(err, iniPath);
  } catch (const EInOutError& e) {
    reason = e.Message();
  }
  throw EIniFileException("Unable to lock " + iniPath + ": " + reason);
}

// Two copies that name the file through different links still meet on one
// lock: it lies beside the file the writes land in.
std::string ResolvedPath(const std::string& iniPath) {
  std::error_code ec;
  const auto resolved = std::filesystem::weakly_canonical(iniPath, ec);
  return ec || resolved.empty() ? iniPath : resolved.string();
}

#ifndef _WIN32
bool RefusedForCreation(int err) {
  return err == EACCES || err == EPERM || err == EROFS;
}

bool HeldElsewhere(int err) {
  return err == EAGAIN || err == EACCES || err == EWOULDBLOCK;
}
#endif

}  // namespace

std::string IniFileLock::LockFileName(const std::string& iniPath) {
  return ResolvedPath(iniPath) + ".lock";
}

#ifdef _WIN32

std::unique_ptr<IniFileLock> IniFileLock::Acquire(const std::string& iniPath) {
  std::unique_ptr<IniFileLock> lock(new IniFileLock);
  std::string target = LockFileName(iniPath);
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE handle = ::CreateFileA(target.c_str(), GENERIC_READ | GENERIC_WRITE, kShare, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD err = ::GetLastError();
    // A folder that isn't there holds no INI file either.
    if (err == ERROR_PATH_NOT_FOUND) return lock;
    if (err != ERROR_ACCESS_DENIED && err != ERROR_WRITE_PROTECT) {
      RaiseLockFailure(iniPath, static_cast<int>(err));
    }
    target = ResolvedPath(iniPath);
    handle = ::CreateFileA(target.c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD again = ::GetLastError();
      if (again == ERROR_FILE_NOT_FOUND || again == ERROR_PATH_NOT_FOUND) return lock;
      RaiseLockFailure(iniPath, static_cast<int>(again));
    }
  }
  OVERLAPPED whole{};
  if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
    const DWORD err = ::GetLastError();
    ::CloseHandle(handle);
    if (err == ERROR_LOCK_VIOLATION || err == ERROR_SHARING_VIOLATION) RaiseInUse(iniPath);
    RaiseLockFailure(iniPath, static_cast<int>(err));
  }
  lock->FHandle = handle;
  lock->FLockedFile = target;
  return lock;
}

IniFileLock::~IniFileLock() {
  // Closing the handle releases the lock.
  if (FHandle != nullptr) ::CloseHandle(static_cast<HANDLE>(FHandle));
}

#else

namespace {

constexpr auto kHeldGrace = std::chrono::milliseconds(1500);

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

#endif

}  // namespace velmorin
