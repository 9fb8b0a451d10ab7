// The production record: one CSV line for every serial number taken, saying
// which file and which chip it went to and how that ended, for the line's
// quality system. It is off unless the INI file names a record file.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "base/Exceptions.h"

namespace velmorin {

// How the serialization that took a number ended.
enum class SerialFate { Ok, Cancelled, BurnerFailed, Aborted, Error };

struct ProductionEntry {
  std::string Skeleton;  // the skeleton-file box's text
  std::int32_t Serial = 0;
  std::string OutputFile;  // full path; empty under "Don't save"
  SerialFate Fate = SerialFate::Ok;
  std::optional<std::uint32_t> ExitCode;  // empty when no burner ran
  std::string Message;                    // the error's text for SerialFate::Error
  // The burner slot of a run with several at once (serialize --slots), 1 to
  // 64; 0 otherwise. The record has no column for it: its Station does.
  int Slot = 0;
};

// A record that cannot be written; production must not go on without it.
class EProductionLogError : public Exception {
 public:
  using Exception::Exception;
};

class ProductionLog {
 public:
  static constexpr std::string_view kHeader =
      "Time,Station,Skeleton,Serial,OutputFile,Result,ExitCode,Message";

  // `fileName` as the INI file gives it: a relative name counts from the INI
  // file's folder.
  ProductionLog(const std::string& fileName, const std::string& iniPath);

  const std::string& FileName() const { return FFileName; }

  // Appends the entry's line, stamped with the time and this station's name,
  // and returns once it is on disk. Raises EProductionLogError
  // "Unable to write to <record path>".
  void Append(const ProductionEntry& entry) const;

  // The line (with its CR LF) for an entry made at `when` on `station`.
  static std::string FormatLine(const ProductionEntry& entry, std::time_t when,
                                const std::string& station);
  // A field as RFC 4180 wants it: in double quotes, those inside doubled, when
  // it holds a comma, a double quote or a line break.
  static std::string CsvField(std::string_view text);
  // Local time in ISO 8601 with its offset from UTC, to the second.
  static std::string LocalTime(std::time_t when);
  static const char* FateText(SerialFate fate);

 private:
  std::string FFileName;
};

// This computer's name, as the record's Station column shows it.
std::string StationName();

}  // namespace velmorin
