// Sequential reading of a text file, line by line, with the line rules of the
// files the program reads: a line ends at a line feed, carriage returns are not
// part of it, a last line without a line feed counts, and a Ctrl-Z (0x1A) ends
// the file. The same reader runs over a memory buffer, for tests and fuzzing.
#pragma once

#include <string>
#include <string_view>

namespace velmorin {

class TextFileReader {
 public:
  // Opens the named file; raises EInOutError when it can't be opened.
  explicit TextFileReader(const std::string& fileName);
  // Reads from a buffer that must outlive the reader.
  static TextFileReader FromBuffer(std::string_view text);

  TextFileReader(TextFileReader&& other) noexcept;
  TextFileReader& operator=(TextFileReader&&) = delete;
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;
  ~TextFileReader();

  // Puts the next line into `line` and returns true, or returns false at the
  // end of the file. Raises EInOutError when the file can't be read.
  bool ReadLine(std::string& line);

 private:
  TextFileReader() = default;
  bool Refill();

  std::string FFileName;
  int FFd = -1;
  std::string FBuffer;       // bytes read from the file and not yet consumed
  std::string_view FWindow;  // the unconsumed part of FBuffer or of the caller's buffer
  bool FAtEnd = false;       // no more bytes will come
};

}  // namespace velmorin
