// The Windows half of the text reader's file: the C run-time's descriptors in
// binary mode, not inherited by a burner; _doserrno holds the system's own
// code for a failure.
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <windows.h>

#include "platform/files/FileErrors.h"
#include "platform/files/TextFileReaderFile.h"

namespace velmorin::text_file {

int Open(const std::string& name, std::uint64_t& size) {
  const int fd = ::_open(name.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) RaiseInOutError(static_cast<int>(_doserrno), name);
  // A console, a pipe or a device would never end or would block.
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::_close(fd);
    RaiseNotRegular(name);
  }
  LARGE_INTEGER fileSize{};
  size = ::GetFileSizeEx(handle, &fileSize) ? static_cast<std::uint64_t>(fileSize.QuadPart) : 0;
  return fd;
}

std::ptrdiff_t Read(int fd, char* buffer, std::size_t size) {
  return ::_read(fd, buffer, static_cast<unsigned>(size));
}

int LastError() {
  return static_cast<int>(_doserrno);
}

void Close(int fd) {
  ::_close(fd);
}

}  // namespace velmorin::text_file
