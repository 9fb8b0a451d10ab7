// The file a TextFileReader reads, as each system opens and reads it: a
// descriptor of the C library's on both (POSIX, and the C run-time's in
// binary mode on Windows). TextFileReaderPosix.cpp and TextFileReaderWin.cpp
// define these; TextFileReader.cpp, the part both share, keeps the lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmorin::text_file {

// Opens `name` for reading without blocking and without handing it to a burner
// we start; gives the descriptor and the file's size in `size` (0 for a
// folder). Raises EInOutError when the file can't be opened and when it is
// neither a regular file nor a folder (a folder then fails at its first read).
int Open(const std::string& name, std::uint64_t& size);
// Reads up to `size` bytes into `buffer`: how many (0 at the end), or -1 with
// the system's error in LastError(). An interrupted read is taken up again.
std::ptrdiff_t Read(int fd, char* buffer, std::size_t size);
// The system's code for the failure of the last Read, for RaiseInOutError.
int LastError();
void Close(int fd);

// "<name> is not a regular file", the refusal of a FIFO, a device or a socket.
[[noreturn]] void RaiseNotRegular(const std::string& name);

}  // namespace velmorin::text_file
