// The serial server's commands of velmorin-cli: "server init" sets up the
// schema, "pool list|show|create|set" read and change the pools that several
// stations draw their serial numbers from. The server is the one that
// "[Options] SerialServer" of the INI file names; reading that key takes no
// hold on the file, so these commands also run beside an open window.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/Command.h"
#include "platform/ini/IniLocation.h"

namespace velmorin::cli {

class PoolCommands {
 public:
  // `out` takes what the commands print (text, or JSON with `json`).
  PoolCommands(IniLocation location, bool json, std::FILE* out);

  // Each returns the exit code; errors are raised. A server that can't be
  // reached raises ESerialServerError, a pool's own refusal
  // ESerialPoolRefused.
  // Sets up the schema; with `stationRole`, also gives that role exactly a
  // station's rights (SerialPools::GrantStation).
  int InitServer(const std::optional<std::string>& stationRole);
  int List();
  int Show(const std::string& name);
  int Create(const std::string& name, std::int64_t next, std::optional<std::int64_t> last);
  // At least one of `next` and `last`; `next` only moves forward.
  int Set(const std::string& name, std::optional<std::int64_t> next,
          std::optional<std::int64_t> last);

 private:
  std::string Connection() const;
  void Print(const std::string& text);

  IniLocation FLocation;
  bool FJson;
  std::FILE* FOut;
};

// "server init".
class ServerCommand : public Command {
 public:
  void Declare(CLI::App& app) override;
  int Run(const CommandContext& context) override;

 private:
  CLI::App* FInit = nullptr;
  std::optional<std::string> FStationRole;
};

// "pool list|show|create|set".
class PoolCommand : public Command {
 public:
  void Declare(CLI::App& app) override;
  int Run(const CommandContext& context) override;

 private:
  bool FJson = false;
  std::string FName;
  std::optional<std::int64_t> FNext, FLast;
  CLI::App* FList = nullptr;
  CLI::App* FShow = nullptr;
  CLI::App* FCreate = nullptr;
};

}  // namespace velmorin::cli
