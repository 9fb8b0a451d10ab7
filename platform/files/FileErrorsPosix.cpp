// The POSIX half of FileErrors.h: errno mapped to the codes of the file-error table.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files/FileErrors.h"
#include "platform/files/WriteFullyPosix.h"

namespace velmorin {

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

int InOutErrorCode(int err, const std::string& path) {
  switch (err) {
    case ENOENT: {
      struct stat st {};
      const bool folderExists = ::stat(FolderOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      return folderExists && !path.empty() ? io_code::FileNotFound : io_code::InvalidFilename;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
      return io_code::InvalidFilename;
    case EMFILE:
    case ENFILE:
      return io_code::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return io_code::AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return io_code::DiskFull;
    default:
      return err;
  }
}

void RaiseInOutError(int err, const std::string& path) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case EMFILE:
    case ENFILE:
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      throw EInOutError(InOutErrorCode(err, path));
    default:
      throw EInOutError(err, "I/O error " + std::to_string(err));
  }
}

int WriteFully(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace velmorin
