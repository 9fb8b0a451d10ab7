#include "TextFileReader.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <stdlib.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "FileErrors.h"

namespace velmorin {

namespace {
#ifdef _WIN32
// The C run-time's descriptors in binary mode, not inherited by a burner;
// _doserrno holds the system's own code for a failure.
int OpenForReading(const char* name) {
  return ::_open(name, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
int ReadSome(int fd, char* buffer, std::size_t size) {
  return ::_read(fd, buffer, static_cast<unsigned>(size));
}
void CloseFile(int fd) {
  ::_close(fd);
}
int LastFileError() {
  return static_cast<int>(_doserrno);
}
#else
int OpenForReading(const char* name) {
  return ::open(name, O_RDONLY | O_CLOEXEC);
}
ssize_t ReadSome(int fd, char* buffer, std::size_t size) {
  return ::read(fd, buffer, size);
}
void CloseFile(int fd) {
  ::close(fd);
}
int LastFileError() {
  return errno;
}
#endif

constexpr std::size_t kChunkSize = 256 * 1024;
constexpr char kCtrlZ = '\x1A';

// Appends `part` to `line` without its carriage returns.
void AppendWithoutCR(std::string& line, std::string_view part) {
  // Copies the runs between carriage returns, not one character at a time:
  // with CR LF files every line has one.
  for (std::size_t cr; (cr = part.find('\r')) != std::string_view::npos; part.remove_prefix(cr + 1)) {
    line.append(part.substr(0, cr));
  }
  line.append(part);
}
}  // namespace

TextFileReader::TextFileReader(const std::string& fileName) : FFileName(fileName) {
  do {
    FFd = OpenForReading(fileName.c_str());
  } while (FFd < 0 && errno == EINTR);
  if (FFd < 0) RaiseInOutError(LastFileError(), fileName);
}

TextFileReader TextFileReader::FromBuffer(std::string_view text) {
  TextFileReader reader;
  reader.FWindow = text;
  reader.FAtEnd = true;
  return reader;
}

TextFileReader::TextFileReader(TextFileReader&& other) noexcept
    : FFileName(std::move(other.FFileName)),
      FFd(std::exchange(other.FFd, -1)),
      FAtEnd(other.FAtEnd) {
  // The window may point into the other reader's buffer: carry it over by offset.
  if (!other.FBuffer.empty() && FWindow.data() == nullptr) {
    const std::size_t offset = other.FWindow.data() - other.FBuffer.data();
    const std::size_t length = other.FWindow.size();
    FBuffer = std::move(other.FBuffer);
    FWindow = std::string_view(FBuffer).substr(offset, length);
  } else {
    FWindow = other.FWindow;
  }
  other.FWindow = {};
}

TextFileReader::~TextFileReader() {
  if (FFd >= 0) CloseFile(FFd);
}

bool TextFileReader::Refill() {
  if (FAtEnd) return false;
  // Keep what is left of the window, then read behind it.
  std::string next(FWindow);
  const std::size_t kept = next.size();
  next.resize(kept + kChunkSize);
  decltype(ReadSome(0, nullptr, 0)) got;
  do {
    got = ReadSome(FFd, next.data() + kept, kChunkSize);
  } while (got < 0 && errno == EINTR);
  if (got < 0) RaiseInOutError(LastFileError(), FFileName);
  next.resize(kept + static_cast<std::size_t>(got));
  if (got == 0) FAtEnd = true;
  FBuffer = std::move(next);
  FWindow = FBuffer;
  return got > 0;
}

bool TextFileReader::ReadLine(std::string& line) {
  line.clear();
  bool started = false;  // some character of this line, CR included, has been consumed
  for (;;) {
    const char* begin = FWindow.data();
    const std::size_t size = FWindow.size();
    const char* lf = size ? static_cast<const char*>(std::memchr(begin, '\n', size)) : nullptr;
    const std::size_t span = lf ? static_cast<std::size_t>(lf - begin) : size;
    const char* z = span ? static_cast<const char*>(std::memchr(begin, kCtrlZ, span)) : nullptr;
    if (z) {
      // Ctrl-Z: the text before it is the last line; nothing after it is read.
      AppendWithoutCR(line, std::string_view(begin, z - begin));
      const bool hasLine = started || z != begin;
      FWindow = {};
      FBuffer.clear();
      FAtEnd = true;
      if (FFd >= 0) {
        CloseFile(FFd);
        FFd = -1;
      }
      return hasLine;
    }
    if (lf) {
      AppendWithoutCR(line, std::string_view(begin, span));
      FWindow.remove_prefix(span + 1);
      return true;
    }
    if (size) {
      // A line that runs on past the buffered bytes: keep its text and read on.
      AppendWithoutCR(line, FWindow);
      started = true;
      FWindow = {};
    }
    if (!Refill()) return started;
  }
}

}  // namespace velmorin
