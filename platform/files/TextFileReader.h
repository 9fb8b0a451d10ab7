// Sequential reading of a text file, line by line, with the line rules of the
// files the program reads: a line ends at a line feed, carriage returns are not
// part of it (wherever they stand), a last line without a line feed counts,
// and a Ctrl-Z (0x1A) ends the file. The same reader runs over a memory
// buffer, for tests and fuzzing.
//
// The reader's memory does not depend on the file: it reads through one
// buffer of fixed size, and a caller that bounds the characters it keeps of a
// line gets the rest of a longer line piece by piece instead of stored whole.
// A skeleton named by an operator may be anything the file system holds, so
// only regular files (and folders, whose read then fails with the system's
// error) are opened; a FIFO or a device is refused at once, without blocking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velmorin {

class TextFileReader {
 public:
  // Opens the named file; raises EInOutError when it can't be opened or is
  // neither a regular file nor a folder.
  explicit TextFileReader(const std::string& fileName);
  // Reads from a buffer that must outlive the reader.
  static TextFileReader FromBuffer(std::string_view text);

  TextFileReader(TextFileReader&& other) noexcept;
  TextFileReader& operator=(TextFileReader&&) = delete;
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;
  ~TextFileReader();

  // Puts the next line, however long, into `line` and returns true, or returns
  // false at the end of the file. Raises EInOutError when the file can't be read.
  bool ReadLine(std::string& line);

  // Starts the next line and gives its first characters, at most `limit` of
  // them, in `line`; returns false at the end of the file. `line` stays valid
  // until the next call on the reader. What is left of a longer line comes
  // from ReadRest; a line not finished that way is skipped by the next ReadLine.
  bool ReadLine(std::string_view& line, std::size_t limit);
  // The next characters of the line begun by ReadLine beyond those it gave,
  // in pieces valid until the next call; false once the line has ended.
  bool ReadRest(std::string_view& piece);

  // For a caller that finds a line's end itself: the unread bytes from the
  // start of the next line on, at least `wanted` of them (up to 4 KiB) unless the data ends sooner.
  // What is left in the buffer moves to its front to make room. The view is valid until the next
  // call on the reader. Inline for the common case, as it runs once per line.
  std::string_view Peek(std::size_t wanted) {
    if (!FLineEnded || static_cast<std::size_t>(FEnd - FPos) < wanted) PeekSlowly(wanted);
    return {FPos, static_cast<std::size_t>(FEnd - FPos)};
  }
  // Consumes the first `count` bytes of the last Peek, which the caller has
  // found to be whole lines with their line feeds.
  void Skip(std::size_t count) { FPos += count; }

  // The bytes not yet read, as far as the file's size at its opening tells:
  // for sizing the reader's results, never for deciding where the text ends.
  std::uint64_t RemainingSize() const;

 private:
  TextFileReader() = default;
  bool Refill();
  void RefillKeeping(std::size_t wanted);
  void PeekSlowly(std::size_t wanted);
  char* ChunkStart();
  bool NextPiece(std::string_view& piece);
  void EndOfData(const char* from, const char* end);
  void SkipRestOfLine();

  std::string FFileName;
  int FFd = -1;
  std::uint64_t FFileSize = 0;      // at the opening
  std::uint64_t FFileRead = 0;      // bytes read from the file so far
  std::unique_ptr<char[]> FBuffer;  // the file's bytes as read, one chunk at a time
  const char* FPos = nullptr;       // unconsumed bytes of the buffer or of the caller's text
  const char* FEnd = nullptr;
  bool FAtEnd = false;        // no more bytes will come
  bool FLineEnded = true;     // the current line's line feed (or the data's end) is consumed
  std::string_view FPending;  // characters of the current line given to nobody yet
  std::string FScratch;       // a line's kept characters when they aren't contiguous
};

}  // namespace velmorin
