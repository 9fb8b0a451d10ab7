// What AtomicFileWriter does on every system: it buffers the bytes and hands
// them to the temporary file of its system's half.
#include "platform/files/AtomicFileWriter.h"

#include "platform/files/AtomicFileWriterTemporary.h"
#include "platform/files/FileErrors.h"

namespace velmorin {

namespace {
constexpr std::size_t kBufferSize = 256 * 1024;
}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string fileName, Durability durability)
    : FFileName(std::move(fileName)), FTemp(std::make_unique<Temporary>(FFileName, durability)) {
  FBuffer.reserve(kBufferSize);
}

AtomicFileWriter::~AtomicFileWriter() = default;

void AtomicFileWriter::Write(std::string_view bytes) {
  FTemp->RequireOpen();
  if (FBuffer.size() + bytes.size() > kBufferSize) FlushBuffer();
  // A block as large as half the buffer goes to the file as it is: copying it
  // first would only cost time.
  if (FBuffer.empty() && bytes.size() >= kBufferSize / 2) {
    FTemp->WriteAll(bytes);
  } else {
    FBuffer.append(bytes);
  }
}

void AtomicFileWriter::FlushBuffer() {
  FTemp->WriteAll(FBuffer);
  FBuffer.clear();
}

void AtomicFileWriter::Commit() {
  FTemp->RequireOpen();
  FlushBuffer();
  FTemp->Commit();
}

AtomicFileWriter::Temporary::~Temporary() {
  Discard();
}

void AtomicFileWriter::Temporary::Fail(int err) {
  Discard();
  RaiseInOutError(err, FFileName);
}

void AtomicFileWriter::WriteWholeFile(const std::string& fileName, std::string_view contents,
                                      Durability durability) {
  AtomicFileWriter writer(fileName, durability);
  writer.Write(contents);
  writer.Commit();
}

}  // namespace velmorin
