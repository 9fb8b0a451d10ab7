// Sequential writing of a text file, one line at a time, each ended by CR LF.
// The file appears under its name only when Close() succeeds (AtomicFileWriter).
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/files/AtomicFileWriter.h"

namespace velmorin {

class TextFileWriter {
 public:
  explicit TextFileWriter(std::string fileName, Durability durability = Durability::Normal)
      : FFile(std::move(fileName), durability) {}

  void WriteLine(std::string_view line) {
    FFile.Write(line);
    FFile.Write("\r\n");
  }
  // Completes the file; without it the target is left untouched.
  void Close() { FFile.Commit(); }

 private:
  AtomicFileWriter FFile;
};

}  // namespace velmorin
