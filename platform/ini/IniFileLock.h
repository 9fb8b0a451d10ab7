// The hold one copy of the program keeps on its INI file, so that a second
// copy started on the same file (a double start, or two stations running from
// one shared folder) is refused instead of handing out every serial number a
// second time. The system releases the hold when the process ends in any way,
// SIGKILL included, so a stale hold never stops the next start.
//
// The hold is a lock on "<ini>.lock" beside the INI file (the file itself is
// replaced by a rename on every write, so a lock on it would not last; the
// lock file is never deleted, so there is no race between deleting and
// locking). POSIX: an open-file-description lock (fcntl F_OFD_SETLK), which
// works over NFS and is not dropped when another descriptor of the file is
// closed; flock where the system has none. Windows: LockFileEx.
//
// IniFileLock.cpp holds what both systems share, IniFileLockPosix.cpp and
// IniFileLockWin.cpp take the lock.
//
// When the folder refuses to create the lock file (read-only), the INI file
// can't be written there either; the existing INI file itself, opened for
// reading, is locked instead; with no INI file, or no folder, there is
// nothing to hold.
#pragma once

#include <memory>
#include <string>

namespace velmorin {

class IniFileLock {
 public:
  // Takes the hold on `iniPath`. Raises EIniFileInUse, naming the file, when
  // another process holds it, and EIniFileException when the system refuses
  // the lock for another reason (its reason in the message).
  static std::unique_ptr<IniFileLock> Acquire(const std::string& iniPath);

  ~IniFileLock();
  IniFileLock(const IniFileLock&) = delete;
  IniFileLock& operator=(const IniFileLock&) = delete;

  // The file the lock is on; empty when there was nothing to hold.
  const std::string& LockedFile() const { return FLockedFile; }

  // The name of the lock file for an INI file.
  static std::string LockFileName(const std::string& iniPath);

 private:
  IniFileLock() = default;

  // What both halves raise: EIniFileInUse, and EIniFileException with the
  // system's reason for `err`.
  [[noreturn]] static void RaiseInUse(const std::string& iniPath);
  [[noreturn]] static void RaiseLockFailure(const std::string& iniPath, int err);
  // The INI file the writes land in, where the lock lies beside.
  static std::string ResolvedPath(const std::string& iniPath);

  std::string FLockedFile;
  int FFd = -1;             // POSIX: the locked descriptor
  void* FHandle = nullptr;  // Windows: the locked HANDLE
};

}  // namespace velmorin
