// The Intel HEX form of a memory image: TIntelImage reads and writes the
// Intel HEX format and keeps the form of the file it read (record length,
// start address, address mode) so that a stamped image is written back the
// way the skeleton file was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "image/ObjImage.h"
#include "platform/files/AtomicFileWriter.h"

namespace velmorin {

class TextFileReader;

class EIntelImageError : public EObjImageError {
 public:
  using EObjImageError::EObjImageError;
};

// Which kind of extended addressing the file read used.
enum TAddrMode : std::uint8_t { amNone = 0, amSegment = 1, amLinear = 2 };

class TIntelImage : public TObjImage {
 public:
  TAddrMode AddrMode = amNone;

  void LoadFromFile(const std::string& fileName) override;
  void SaveToFile(const std::string& fileName) override;
  // The same write with the flush to disk chosen by the caller (a benchmark
  // compares the image path with tools that don't flush).
  void SaveToFile(const std::string& fileName, Durability durability);
  // The two's complement of the sum of the hex pairs between the ":" and the
  // line's last two characters (a character that isn't a digit counts as 0).
  virtual std::uint8_t RecordChecksum(std::string_view line) const;
  // The line with its last two characters replaced by RecordChecksum.
  virtual std::string FixChecksum(std::string_view line) const;

  // The same reading and writing over memory, for tests and fuzzing.
  void LoadFromText(std::string_view text);
  std::string SaveToText() const;

 private:
  void ReadRecords(TextFileReader& reader);
  // Raises EIntelImageError when this image can't be written in its address
  // mode; called before the first line is put out.
  void CheckWritable() const;
  // Puts the records out through `sink`, a file or a string (see the writer).
  template <class Sink>
  void WriteRecords(Sink& sink) const;
};

}  // namespace velmorin
