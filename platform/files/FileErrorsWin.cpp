// The Windows side of FileErrors.h: the system's own error codes (GetLastError)
// go straight into EInOutError, as the operator's table was made for them.
#include <windows.h>

#include "platform/files/FileErrors.h"

namespace velmorin {

std::string FolderOf(const std::string& path) {
  const auto end = path.find_last_of("\\/:");
  if (end == std::string::npos) return ".";
  // "C:" and "C:\" name a drive's folder themselves; "\" is the root.
  if (path[end] == ':' || end == 0 || path[end - 1] == ':') return path.substr(0, end + 1);
  return path.substr(0, end);
}

int InOutErrorCode(int err, const std::string& /*path*/) {
  switch (err) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      // The same text the operator sees when a POSIX disk fills up.
      return io_code::DiskFull;
    default:
      return err;
  }
}

void RaiseInOutError(int err, const std::string& path) {
  const int code = InOutErrorCode(err, path);
  switch (code) {
    case io_code::FileNotFound:
    case io_code::InvalidFilename:
    case io_code::TooManyOpenFiles:
    case io_code::AccessDenied:
      throw EInOutError(code);
    case io_code::DiskFull:
      if (err != code) throw EInOutError(code);
      [[fallthrough]];  // system code 101 is a semaphore error, not a full disk
    default:
      throw EInOutError(code, "I/O error " + std::to_string(code));
  }
}

}  // namespace velmorin
