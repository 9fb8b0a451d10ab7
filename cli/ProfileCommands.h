// The profile commands of velmorin-cli: list, show, add, set and remove the
// profiles of one INI file, over the same session as the window. Each holds
// the same lock on the file as the window from before its first read to its
// end, so that a window open on the file makes it refuse, and the other way
// round.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "platform/ini/IniLocation.h"

namespace velmorin {
class AnswerOperator;
class Session;
}  // namespace velmorin

namespace velmorin::cli {

class ProfileCommands {
 public:
  // `out` takes what the commands print (text, or JSON with `json`).
  ProfileCommands(IniLocation location, bool json, std::FILE* out);
  ~ProfileCommands();
  ProfileCommands(const ProfileCommands&) = delete;
  ProfileCommands& operator=(const ProfileCommands&) = delete;

  // Each returns the exit code; errors are raised.
  int List();
  int Show(const std::string& skeleton);
  int Add(const std::string& skeleton, const std::vector<std::string>& assignments);
  int Set(const std::string& skeleton, const std::vector<std::string>& assignments);
  int Remove(const std::string& skeleton);

 private:
  // Opens the session on the INI file, taking the hold on it; EIniFileInUse
  // when another copy has it.
  Session& Open();
  void Print(const std::string& text);

  IniLocation FLocation;
  bool FJson;
  std::FILE* FOut;
  std::unique_ptr<AnswerOperator> FOperator;
  std::unique_ptr<Session> FSession;
};

// "profiles [--json]": the profiles with their Next SN.
class ProfilesCommand : public Command {
 public:
  void Declare(CLI::App& app) override;
  int Run(const CommandContext& context) override;

 private:
  bool FJson = false;
};

// A command on one profile, named by its skeleton file.
class OneProfileCommand : public Command {
 protected:
  // Adds the SKELETON argument to the subcommand made.
  void DeclareSkeleton();

  std::string FSkeleton;
  std::vector<std::string> FAssignments;  // add and set: KEY=VALUE ...
  bool FJson = false;                     // show: --json
};

// "show SKELETON [--json]": one profile's settings.
class ShowCommand : public OneProfileCommand {
 public:
  void Declare(CLI::App& app) override;
  int Run(const CommandContext& context) override;
};

// "add SKELETON [KEY=VALUE ...]": a new profile.
class AddCommand : public OneProfileCommand {
 public:
  void Declare(CLI::App& app) override;
  int Run(const CommandContext& context) override;
};

// "set SKELETON KEY=VALUE ...": stored values changed.
class SetCommand : public OneProfileCommand {
 public:
  void Declare(CLI::App& app) override;
  int Run(const CommandContext& context) override;
};

// "remove SKELETON": a profile erased.
class RemoveCommand : public OneProfileCommand {
 public:
  void Declare(CLI::App& app) override;
  int Run(const CommandContext& context) override;
};

}  // namespace velmorin::cli
