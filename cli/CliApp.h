// velmorin-cli as a library: the program's own options (--ini, --version,
// the exit codes in the help), the commands registered with it, and the
// mapping of what a command raises to the exit code. main() builds it with
// the standard commands; tests run it in-process.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Command.h"

namespace velmorin::cli {

class CliApp {
 public:
  CliApp();
  ~CliApp();
  CliApp(const CliApp&) = delete;
  CliApp& operator=(const CliApp&) = delete;

  // Adds `command`: it declares its options on the app now.
  void Register(std::unique_ptr<Command> command);
  // Every command of velmorin-cli.
  void RegisterStandardCommands();

  // Parses `argc`/`argv` (argv[0] the program's name), runs the command asked
  // for with its output on `out`, and gives the exit code; errors go to
  // standard error after "velmorin-cli: ".
  int Run(int argc, const char* const* argv, std::FILE* out = stdout);
  // The same for the arguments after the program's name.
  int Run(const std::vector<std::string>& arguments, std::FILE* out = stdout);

 private:
  std::unique_ptr<CLI::App> FApp;
  std::optional<std::string> FIni;
  std::vector<std::unique_ptr<Command>> FCommands;
};

}  // namespace velmorin::cli
