// Writes a file so that it is never seen half-written under its real name: the
// bytes go to a temporary file in the same folder, which replaces the target
// only when Commit() succeeds. On any failure, or when the writer is dropped
// without Commit(), the temporary file is removed and an older file of the
// target's name stays as it was.
//
// A target that exists and is not a regular file (a device, a FIFO, a socket,
// a folder) is refused, never replaced. On Linux the temporary file has no name
// until it is complete (O_TMPFILE), so a killed run leaves nothing behind;
// elsewhere, and on file systems without it, it gets a short name of our own
// that never pushes a legal target name past the system's limit, and such names
// left by a dead process are removed the next time we write into that folder.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace velmorin {

enum class Durability {
  Normal,  // the rename is atomic, but the data may still sit in the page cache
  Synced,  // the file is flushed to disk before it takes the target's name, and
           // the folder after, so a power cut leaves the old file or the whole new one
};

class AtomicFileWriter {
 public:
  // Creates the temporary file beside `fileName`; raises EInOutError.
  explicit AtomicFileWriter(std::string fileName, Durability durability = Durability::Normal);
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter();

  // Appends bytes; raises EInOutError (the temporary file is then removed).
  void Write(std::string_view bytes);
  // Flushes, closes and renames the temporary file over the target.
  void Commit();

  const std::string& FileName() const { return FFileName; }

  // Replaces the whole file `fileName` with `contents` in one step.
  static void WriteWholeFile(const std::string& fileName, std::string_view contents,
                             Durability durability);

 private:
  // The temporary file as each system keeps it: AtomicFileWriterPosix.cpp
  // and AtomicFileWriterWin.cpp define it.
  class Temporary;

  void FlushBuffer();

  std::string FFileName;
  std::unique_ptr<Temporary> FTemp;
  std::string FBuffer;
};

}  // namespace velmorin
