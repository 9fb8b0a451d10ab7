// The profile commands of velmorin-cli: list, show, add, set and remove the
// profiles of one INI file. Each holds the same lock on the file as the
// window from before its first read to its end, so that a window open on the
// file makes it refuse, and the other way round.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ini/IniFile.h"
#include "platform/ini/IniLocation.h"
#include "profiles/ProfileSettings.h"
#include "profiles/SeqNumRules.h"

namespace velmorin {
class IniFileLock;
}

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

  // "KEY=VALUE" split at its first "="; raises EUsageError without one.
  static std::pair<std::string, std::string> SplitAssignment(const std::string& assignment);
  // `assignments` applied in order to `settings`; raises EProfileValueError
  // (leaving `settings` as it may be half done) at the first one refused.
  // Returns the stored spelling of every key given, each once.
  static std::vector<std::string> ApplyAssignments(ProfileSettings& settings,
                                                   const std::vector<std::string>& assignments);
  // The same with the three optional keys (SeqNumFormat, SeqNumStep,
  // LastSeqNum) going to `rules`.
  static std::vector<std::string> ApplyAssignments(ProfileSettings& settings, SeqNumRules& rules,
                                                   const std::vector<std::string>& assignments);

 private:
  // Takes the hold on the INI file; EIniFileInUse when another copy has it.
  void Hold();
  // Before profile `name` is written with `next` as its Next SN: when the
  // file names a serial server, the profile's pool (SerialPool in `given`,
  // else as stored, else the skeleton's stem) is made at `next` or moved up
  // to it, and a `next` below it is refused (ESerialPoolRefused).
  void KeepPool(const IniFile::Contents& contents, const std::string& name,
                const SeqNumRules& given, std::int32_t next);
  // The position among the profiles (section Options left out) and the
  // stored name of the profile `skeleton`, if there is one.
  static std::optional<std::pair<int, std::string>> FindProfile(const IniFile::Contents& contents,
                                                                const std::string& skeleton);
  std::pair<int, std::string> RequireProfile(const IniFile::Contents& contents,
                                             const std::string& skeleton) const;
  void Print(const std::string& text);

  IniLocation FLocation;
  IniFile FIniFile;
  std::unique_ptr<IniFileLock> FLock;
  bool FJson;
  std::FILE* FOut;
};

}  // namespace velmorin::cli
