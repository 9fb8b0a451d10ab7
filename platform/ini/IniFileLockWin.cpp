// The Windows half of IniFileLock: LockFileEx on the lock file, or on the INI
// file itself where the folder refuses to create one.
#include <windows.h>

#include "platform/ini/IniFileLock.h"

namespace velmorin {

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

}  // namespace velmorin
