// What AppendRecordLine does on every system: it decides what one append
// writes and hands it to its system's RecordFileHandle.
#include "platform/files/RecordFile.h"

#include "platform/files/FileErrors.h"
#include "platform/files/RecordFileHandle.h"

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

RecordFileHandle::~RecordFileHandle() {
  Release();
}

void RecordFileHandle::Fail(int err) {
  Release();
  RaiseInOutError(err, FFileName);
}

void AppendRecordLine(const std::string& fileName, std::string_view header, std::string_view line,
                      std::string_view lineEnd) {
  RecordFileHandle file(fileName);
  const bool empty = file.Size() == 0;
  const bool torn = !empty && file.LastByte() != '\n';
  file.Append(Block(empty, torn, header, line, lineEnd));
  file.Close();
}

}  // namespace velmorin
