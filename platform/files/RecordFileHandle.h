// The record file as each system holds it open for one append. The POSIX
// half (RecordFilePosix.cpp) and the Windows half (RecordFileWin.cpp) define
// what touches the system; RecordFile.cpp, the part both share, decides what
// the append writes and closes the file on failure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmorin {

class RecordFileHandle {
 public:
  // Opens `fileName` for reading and appending, creating it when missing.
  // Raises EInOutError, also for a name that exists and is not a regular file
  // (which is never waited on: a FIFO in the record's place must not hang us).
  explicit RecordFileHandle(const std::string& fileName);
  // Closes the file when Close() was not reached.
  ~RecordFileHandle();
  RecordFileHandle(const RecordFileHandle&) = delete;
  RecordFileHandle& operator=(const RecordFileHandle&) = delete;

  // The file's size when it was opened.
  std::uint64_t Size() const { return FSize; }
  // The file's last byte; only for a file that is not empty.
  char LastByte();
  // Appends `block` whole.
  void Append(std::string_view block);
  // Flushes the file to disk and closes it; a file that was new has its name
  // flushed too where the system keeps names apart from the data.
  void Close();

 private:
  // Closes the file and raises the EInOutError for the system error `err`
  // (errno on POSIX, GetLastError() on Windows).
  [[noreturn]] void Fail(int err);
  void Release() noexcept;

  std::string FFileName;
  std::uint64_t FSize = 0;
  int FFd = -1;             // POSIX: the descriptor
  void* FHandle = nullptr;  // Windows: the HANDLE
};

}  // namespace velmorin
