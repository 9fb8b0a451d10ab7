#include "platform/files/TextFileReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/Exceptions.h"
#include "platform/files/FileErrors.h"
#include "platform/files/TextFileReaderFile.h"

namespace velmorin {

namespace {
constexpr std::size_t kChunkSize = 256 * 1024;
// Chunks are read to a page boundary, whole, so the system's copy into the
// buffer runs aligned and the file's offset stays a multiple of the chunk;
// the bytes a caller of Peek still wants from the last chunk move into the
// head room just before it.
constexpr std::size_t kPageSize = 4096;
constexpr std::size_t kHeadRoom = kPageSize;
constexpr std::size_t kBufferSize = kHeadRoom + kPageSize + kChunkSize;
constexpr char kCtrlZ = '\x1A';
}  // namespace

namespace text_file {

void RaiseNotRegular(const std::string& name) {
  throw EInOutError(io_code::AccessDenied, name + " is not a regular file");
}

}  // namespace text_file

TextFileReader::TextFileReader(const std::string& fileName) : FFileName(fileName) {
  FFd = text_file::Open(fileName, FFileSize);
}

TextFileReader TextFileReader::FromBuffer(std::string_view text) {
  TextFileReader reader;
  reader.FPos = text.data();
  reader.EndOfData(text.data(), text.data() + text.size());
  return reader;
}

TextFileReader::TextFileReader(TextFileReader&& other) noexcept
    : FFileName(std::move(other.FFileName)),
      FFd(std::exchange(other.FFd, -1)),
      FFileSize(other.FFileSize),
      FFileRead(other.FFileRead),
      FBuffer(std::move(other.FBuffer)),
      FPos(std::exchange(other.FPos, nullptr)),
      FEnd(std::exchange(other.FEnd, nullptr)),
      FAtEnd(other.FAtEnd),
      FLineEnded(other.FLineEnded),
      FPending(std::exchange(other.FPending, {})) {}

TextFileReader::~TextFileReader() {
  if (FFd >= 0) text_file::Close(FFd);
}

// The data ends at `end` or at the first Ctrl-Z between `from` (where the
// bytes just read begin) and `end`: nothing after a Ctrl-Z is read, and the
// file is closed at once.
void TextFileReader::EndOfData(const char* from, const char* end) {
  const auto size = static_cast<std::size_t>(end - from);
  const char* z = size ? static_cast<const char*>(std::memchr(from, kCtrlZ, size)) : nullptr;
  FEnd = z ? z : end;
  if (z || !FBuffer) {
    FAtEnd = true;
    if (FFd >= 0) {
      text_file::Close(FFd);
      FFd = -1;
    }
  }
}

bool TextFileReader::Refill() {
  if (FAtEnd) return false;
  const std::ptrdiff_t got = text_file::Read(FFd, ChunkStart(), kChunkSize);
  if (got < 0) RaiseInOutError(text_file::LastError(), FFileName);
  FPos = ChunkStart();
  FFileRead += static_cast<std::uint64_t>(got);
  if (got == 0) {
    FEnd = FPos;
    FAtEnd = true;
    return false;
  }
  EndOfData(FPos, FPos + got);
  return FPos != FEnd;
}

// Reads on behind the bytes not yet consumed until `wanted` of them are in the
// buffer or the data ends.
void TextFileReader::RefillKeeping(std::size_t wanted) {
  wanted = std::min(wanted, kHeadRoom);
  while (!FAtEnd && static_cast<std::size_t>(FEnd - FPos) < wanted) {
    const auto kept = static_cast<std::size_t>(FEnd - FPos);
    char* const chunk = ChunkStart();
    if (kept) std::memmove(chunk - kept, FPos, kept);
    FPos = chunk - kept;
    FEnd = chunk;
    const std::ptrdiff_t got = text_file::Read(FFd, chunk, kChunkSize);
    if (got < 0) RaiseInOutError(text_file::LastError(), FFileName);
    FFileRead += static_cast<std::uint64_t>(got);
    if (got == 0) {
      FAtEnd = true;
      return;
    }
    EndOfData(FEnd, FEnd + got);
  }
}

char* TextFileReader::ChunkStart() {
  if (!FBuffer) FBuffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
  const auto start = reinterpret_cast<std::uintptr_t>(FBuffer.get()) + kHeadRoom;
  return FBuffer.get() + ((start + kPageSize - 1) / kPageSize * kPageSize -
                          reinterpret_cast<std::uintptr_t>(FBuffer.get()));
}

void TextFileReader::SkipRestOfLine() {
  for (std::string_view rest; !FLineEnded && ReadRest(rest);) {
  }
  FPending = {};
}

void TextFileReader::PeekSlowly(std::size_t wanted) {
  SkipRestOfLine();
  if (static_cast<std::size_t>(FEnd - FPos) < wanted) RefillKeeping(wanted);
}

// The next run of the current line's characters between carriage returns,
// consumed from the buffer; false once the line feed or the data's end is met.
bool TextFileReader::NextPiece(std::string_view& piece) {
  while (!FLineEnded) {
    if (FPos == FEnd && !Refill()) {
      FLineEnded = true;
      break;
    }
    const auto size = static_cast<std::size_t>(FEnd - FPos);
    const char* lf = static_cast<const char*>(std::memchr(FPos, '\n', size));
    const char* stop = lf ? lf : FEnd;
    const char* cr =
        static_cast<const char*>(std::memchr(FPos, '\r', static_cast<std::size_t>(stop - FPos)));
    if (cr) stop = cr;
    piece = std::string_view(FPos, static_cast<std::size_t>(stop - FPos));
    if (stop == lf) FLineEnded = true;
    FPos = stop == FEnd ? stop : stop + 1;
    if (!piece.empty()) return true;
  }
  return false;
}

bool TextFileReader::ReadLine(std::string_view& line, std::size_t limit) {
  // Whatever the caller left of the line before is skipped.
  SkipRestOfLine();
  if (FPos == FEnd && !Refill()) return false;
  FLineEnded = false;

  // The common case: the whole line lies in the buffer and holds no carriage
  // return but the one before its line feed.
  const auto size = static_cast<std::size_t>(FEnd - FPos);
  if (const char* lf = static_cast<const char*>(std::memchr(FPos, '\n', size))) {
    std::size_t length = static_cast<std::size_t>(lf - FPos);
    if (length && FPos[length - 1] == '\r') --length;
    if (length <= limit && !std::memchr(FPos, '\r', length)) {
      line = std::string_view(FPos, length);
      FPos = lf + 1;
      FLineEnded = true;
      return true;
    }
  }

  // Otherwise the kept characters are gathered piece by piece.
  FScratch.clear();
  std::string_view piece;
  while (FScratch.size() < limit && NextPiece(piece)) {
    const std::size_t take = std::min(piece.size(), limit - FScratch.size());
    FScratch.append(piece.substr(0, take));
    FPending = piece.substr(take);
  }
  line = FScratch;
  return true;
}

bool TextFileReader::ReadRest(std::string_view& piece) {
  if (!FPending.empty()) {
    piece = std::exchange(FPending, {});
    return true;
  }
  return NextPiece(piece);
}

std::uint64_t TextFileReader::RemainingSize() const {
  const std::uint64_t unread = FFileSize > FFileRead ? FFileSize - FFileRead : 0;
  return unread + static_cast<std::uint64_t>(FEnd - FPos);
}

bool TextFileReader::ReadLine(std::string& line) {
  std::string_view part;
  if (!ReadLine(part, kChunkSize)) return false;
  line.assign(part);
  while (ReadRest(part)) line.append(part);
  return true;
}

}  // namespace velmorin
