// The temporary file of an AtomicFileWriter, as each system keeps it. The
// POSIX half (AtomicFileWriterPosix.cpp) and the Windows half
// (AtomicFileWriterWin.cpp) define what touches the system; AtomicFileWriter.cpp,
// the part both share, buffers, hands bytes over and discards on failure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files/AtomicFileWriter.h"

namespace velmorin {

class AtomicFileWriter::Temporary {
 public:
  // Creates the temporary file beside `fileName`; raises EInOutError.
  Temporary(const std::string& fileName, Durability durability);
  // Removes the temporary file unless it was committed.
  ~Temporary();
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  // Raises EInOutError when the file is no longer open (committed, or failed).
  void RequireOpen();
  // Hands `bytes` to the system whole, in as many writes as it takes.
  void WriteAll(std::string_view bytes);
  // Flushes (when durable), closes and renames the file over the target.
  void Commit();

 private:
  // Discards the temporary file and raises the EInOutError for the system
  // error `err` (errno on POSIX, GetLastError() on Windows).
  [[noreturn]] void Fail(int err);
  void Discard() noexcept;
  // POSIX: links an unnamed (O_TMPFILE) file under a short name of ours.
  void GiveTempAName();

  std::string FFileName;
  std::string FTempName;  // empty while the temporary file has no name (O_TMPFILE)
  Durability FDurability;
  int FFd = -1;             // POSIX: the descriptor
  void* FHandle = nullptr;  // Windows: the HANDLE while it is open
  bool FAnonymous = false;  // POSIX: opened with O_TMPFILE, not yet linked
};

}  // namespace velmorin
