#include "platform/files/RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cerrno>

#include "platform/files/FileErrors.h"
#include "platform/files/WriteFullyPosix.h"

namespace velmorin {

namespace {

// What goes to the file in one write: the header of a new file, or the line end
// a torn last line is missing, then the line itself.
std::string Block(bool empty, bool torn, std::string_view header, std::string_view line,
                  std::string_view lineEnd) {
  std::string block;
  block.reserve(header.size() + lineEnd.size() + line.size());
  if (empty) {
    block.append(header);
  } else if (torn) {
    block.append(lineEnd);
  }
  block.append(line);
  return block;
}

}  // namespace

#ifdef _WIN32

void AppendRecordLine(const std::string& fileName, std::string_view header, std::string_view line,
                      std::string_view lineEnd) {
  const HANDLE file =
      CreateFileA(fileName.c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) RaiseInOutError(static_cast<int>(GetLastError()), fileName);
  auto fail = [&](DWORD err) {
    CloseHandle(file);
    RaiseInOutError(static_cast<int>(err), fileName);
  };
  if (GetFileType(file) != FILE_TYPE_DISK) fail(ERROR_ACCESS_DENIED);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) fail(GetLastError());
  bool torn = false;
  if (size.QuadPart > 0) {
    OVERLAPPED at{};
    const auto last = static_cast<ULONGLONG>(size.QuadPart - 1);
    at.Offset = static_cast<DWORD>(last);
    at.OffsetHigh = static_cast<DWORD>(last >> 32);
    char c = 0;
    DWORD got = 0;
    if (!ReadFile(file, &c, 1, &got, &at) || got != 1) fail(GetLastError());
    torn = c != '\n';
  }
  const std::string block = Block(size.QuadPart == 0, torn, header, line, lineEnd);
  DWORD written = 0;
  if (!WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) ||
      written != block.size()) {
    fail(GetLastError());
  }
  if (!FlushFileBuffers(file)) fail(GetLastError());
  CloseHandle(file);
}

#else

void AppendRecordLine(const std::string& fileName, std::string_view header, std::string_view line,
                      std::string_view lineEnd) {
  // Non-blocking only for the open: a FIFO in the record's place must not hang us.
  int fd;
  do {
    fd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) RaiseInOutError(errno, fileName);
  auto fail = [&](int err) {
    ::close(fd);
    RaiseInOutError(err, fileName);
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0) fail(errno);
  if (!S_ISREG(st.st_mode)) fail(EACCES);
  if (::fcntl(fd, F_SETFL, O_APPEND) != 0) fail(errno);

  bool torn = false;
  if (st.st_size > 0) {
    char c = 0;
    const ssize_t got = ::pread(fd, &c, 1, st.st_size - 1);
    if (got != 1) fail(got < 0 ? errno : EIO);
    torn = c != '\n';
  }
  const std::string block = Block(st.st_size == 0, torn, header, line, lineEnd);
  // One write; a regular file takes it whole unless the disk fills up, and then
  // the rest follows so the line isn't left torn where it can be helped.
  if (const int err = WriteFully(fd, block)) fail(err);
  if (::fsync(fd) != 0) fail(errno);
  if (::close(fd) != 0) RaiseInOutError(errno, fileName);
  if (st.st_size == 0) {
    // A new file's name must survive a power cut too.
    const int dirFd = ::open(FolderOf(fileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
      ::fsync(dirFd);
      ::close(dirFd);
    }
  }
}

#endif

}  // namespace velmorin
