// One command of velmorin-cli: it declares its own subcommand and options on
// the app, and runs over the core once the command line is parsed. The app
// (CliApp) only builds the program's options, registers the commands and
// turns what a command raises into the exit code.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/ini/IniLocation.h"

namespace velmorin::cli {

// What every command is given besides its own options.
struct CommandContext {
  // --ini FILE, when given.
  std::optional<std::string> Ini;
  // Where the command prints what it was asked for (text or JSON).
  std::FILE* Out = stdout;

  // The INI file: the one --ini names, or the window's beside this program.
  IniLocation Location() const;
};

class Command {
 public:
  virtual ~Command() = default;

  // Adds the command's subcommand, with its options, to `app`.
  virtual void Declare(CLI::App& app) = 0;
  // Whether the command line asked for this command.
  bool Parsed() const { return FCommand != nullptr && FCommand->parsed(); }
  // Runs the command asked for; returns the exit code, raises errors.
  virtual int Run(const CommandContext& context) = 0;

 protected:
  // The subcommand Declare added.
  CLI::App* FCommand = nullptr;
};

}  // namespace velmorin::cli
