// velmorin-cli stamp: one serial number into one image, with no profile, no
// INI file and no counter, by the same stamping the window's road uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Command.h"

namespace velmorin::cli {

struct StampRequest {
  std::string Skeleton;
  std::string Output;
  std::string Serial;      // as typed: decimal, or hexadecimal after "0x"
  std::string Size = "2";  // bytes, as typed
  bool LsbFirst = false;
  std::vector<std::string> At;  // one to four addresses in hexadecimal
};

// "stamp SKELETON OUTPUT --serial N [--size BYTES] [--lsb] --at ADDR ...".
class StampCommand : public Command {
 public:
  void Declare(CLI::App& app) override;
  // Checks every argument first (EUsageError), then reads, stamps and writes
  // OUTPUT durably; returns the exit code.
  int Run(const CommandContext& context) override;

  // An address in hexadecimal, with or without "0x"; EUsageError otherwise.
  static std::uint32_t ParseAddress(const std::string& text);

 private:
  StampRequest FRequest;
};

}  // namespace velmorin::cli
