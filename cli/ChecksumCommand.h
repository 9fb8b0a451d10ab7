// velmorin-cli checksum: the catalogue of checksum kinds, and one checksum
// over a range of an Intel HEX file, so that an engineer can match a kind and
// a range to what the firmware's build wrote before putting them in a profile.
//
//   checksum --list [--json]
//   checksum FILE --kind K --from A --to B [--fill F] [--at ADDR [--msb]]
//
// Addresses and the fill are numbers as a profile's checksum keys take them:
// decimal, or hexadecimal after 0x.
#pragma once

#include <optional>
#include <string>

#include "cli/Command.h"

namespace velmorin::cli {

struct ChecksumRequest {
  bool List = false;
  bool Json = false;  // with List: the catalogue as JSON
  std::string File;
  std::string Kind;
  std::string From;
  std::string To;
  std::string Fill = "0xFF";
  std::optional<std::string> At;  // where the firmware keeps its checksum
  bool MsbFirst = false;          // how it is stored there (default lsb first)
};

class ChecksumCommand : public Command {
 public:
  void Declare(CLI::App& app) override;
  // Checks every argument first (EUsageError, exit 2), then reads FILE and
  // prints "crc32 over 0x0000-0x7FFB gives 0x9ABCDEF0"; with --at also
  // "at 0x7FFC (lsb first) the file holds 0x1234ABCD: they agree" (or "they
  // differ", or that it holds no such bytes). Returns 0, or 1 when a stored
  // value differs or is not there. A file that can't be read raises.
  int Run(const CommandContext& context) override;

 private:
  std::string List() const;
  // The value over the file's range, and the comparison; the exit code.
  int Compute(std::string& out) const;

  ChecksumRequest FRequest;
};

}  // namespace velmorin::cli
