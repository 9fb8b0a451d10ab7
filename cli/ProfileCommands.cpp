#include "ProfileCommands.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "Exceptions.h"
#include "IniFileLock.h"
#include "JsonText.h"
#include "ProfileKeys.h"
#include "SeqNumRules.h"
#include "SerialSource.h"
#include "StandardOutput.h"
#include "UsageError.h"

#if VELMORIN_SERIAL_SERVER
#include "ServerSerialSource.h"
#endif

namespace velmorin::cli {

namespace {

nlohmann::ordered_json SettingsJson(const ProfileSettings& s) {
  nlohmann::ordered_json j;
  j["NextSeqNum"] = s.NextSeqNum;
  j["AutoIncSeq"] = s.AutoIncSeq;
  j["SeqNumSize"] = s.SeqNumSize;
  for (std::size_t slot = 0; slot < 4; ++slot) {
    const std::string number = std::to_string(slot + 1);
    j["SetSeqNumOfs" + number] = s.SetSeqNumOfs[slot];
    j["SeqNumOfs" + number] = s.SeqNumOfs[slot];
  }
  j["ByteOrder"] = s.ByteOrder;
  j["BurnerCmdLine"] = s.BurnerCmdLine;
  j["DontBurn"] = s.DontBurn;
  j["HideBurner"] = s.HideBurner;
  j["OutputFolder"] = s.OutputFolder;
  j["DontSave"] = s.DontSave;
  return j;
}

// A profile's name is a section line of the file: it can hold no line break,
// and "Options" is the section of the program's own settings.
void RequireProfileName(const std::string& skeleton) {
  if (skeleton.empty()) throw EUsageError("The skeleton file path is empty");
  if (skeleton.find_first_of("\r\n") != std::string::npos) {
    throw EUsageError("The skeleton file path \"" + skeleton +
                      "\" holds a line break, which a profile cannot store");
  }
  if (IniFile::SameName(skeleton, kOptionsSection)) {
    throw EUsageError("\"" + skeleton + "\" is the section of Velmorin's own settings, no profile");
  }
}

}  // namespace

ProfileCommands::ProfileCommands(IniLocation location, bool json, std::FILE* out)
    : FLocation(std::move(location)), FIniFile(FLocation.Path), FJson(json), FOut(out) {}

ProfileCommands::~ProfileCommands() = default;

void ProfileCommands::Hold() {
  // As the window does at start: the per-user folder first, since the lock
  // file lies beside the INI file.
  MakeIniFolder(FLocation);
  FLock = IniFileLock::Acquire(FIniFile.FileName());
}

void ProfileCommands::Print(const std::string& text) {
  WriteOutput(FOut, text);
}

std::pair<std::string, std::string> ProfileCommands::SplitAssignment(
    const std::string& assignment) {
  const std::size_t equals = assignment.find('=');
  if (equals == std::string::npos || equals == 0) {
    throw EUsageError("\"" + assignment + "\" is no KEY=VALUE");
  }
  return {assignment.substr(0, equals), assignment.substr(equals + 1)};
}

std::vector<std::string> ProfileCommands::ApplyAssignments(
    ProfileSettings& settings, const std::vector<std::string>& assignments) {
  SeqNumRules rules;
  return ApplyAssignments(settings, rules, assignments);
}

std::vector<std::string> ProfileCommands::ApplyAssignments(
    ProfileSettings& settings, SeqNumRules& rules, const std::vector<std::string>& assignments) {
  std::vector<std::string> keys;
  for (const std::string& assignment : assignments) {
    const auto [key, value] = SplitAssignment(assignment);
    const std::string* rule = SeqNumRuleKeyName(key);
    if (rule != nullptr) {
      ApplySeqNumRule(rules, key, value);
    } else {
      ApplyProfileValue(settings, key, value);
    }
    const std::string& name = rule != nullptr ? *rule : ProfileKeyName(key);
    bool known = false;
    for (const std::string& k : keys) known = known || k == name;
    if (!known) keys.push_back(name);
  }
  return keys;
}

std::optional<std::pair<int, std::string>> ProfileCommands::FindProfile(
    const IniFile::Contents& contents, const std::string& skeleton) {
  int position = 0;
  for (const std::string& section : contents.ReadSections()) {
    if (IniFile::SameName(section, kOptionsSection)) continue;
    if (IniFile::SameName(section, skeleton)) return std::make_pair(position, section);
    ++position;
  }
  return std::nullopt;
}

std::pair<int, std::string> ProfileCommands::RequireProfile(const IniFile::Contents& contents,
                                                            const std::string& skeleton) const {
  auto found = FindProfile(contents, skeleton);
  if (!found) throw Exception("There is no profile for " + skeleton + " in " + FIniFile.FileName());
  return *found;
}

int ProfileCommands::List() {
  Hold();
  const IniFile::Contents contents = FIniFile.Read();
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  std::string text;
  for (const std::string& section : contents.ReadSections()) {
    if (IniFile::SameName(section, kOptionsSection)) continue;
    const std::int32_t next = DecodeProfile(contents, section).NextSeqNum;
    if (FJson) {
      list.push_back({{"skeleton", section}, {"NextSeqNum", next}});
    } else {
      text += section + "\t" + std::to_string(next) + "\n";
    }
  }
  Print(FJson ? JsonText(list, 2) + "\n" : text);
  return 0;
}

int ProfileCommands::Show(const std::string& skeleton) {
  Hold();
  const IniFile::Contents contents = FIniFile.Read();
  const std::string name = RequireProfile(contents, skeleton).second;
  const ProfileSettings settings = DecodeProfile(contents, name);
  // Refused, naming the value, as the window refuses to load it; set mends it.
  const SeqNumRules rules = DecodeSeqNumRules(contents, name);
  if (FJson) {
    nlohmann::ordered_json j;
    j["skeleton"] = name;
    j["settings"] = SettingsJson(settings);
    // Only the keys the profile holds, as the text shows them.
    if (rules.Format) j["settings"]["SeqNumFormat"] = SeqNumFormatName(*rules.Format);
    if (rules.Step) j["settings"]["SeqNumStep"] = *rules.Step;
    if (rules.Last) j["settings"]["LastSeqNum"] = *rules.Last;
    if (rules.Pool) j["settings"]["SerialPool"] = *rules.Pool;
    Print(JsonText(j, 2) + "\n");
  } else {
    std::string text;
    for (const auto& [key, value] : EncodeProfile(settings)) text += key + "=" + value + "\n";
    for (const auto& [key, value] : EncodeSeqNumRules(rules)) text += key + "=" + value + "\n";
    Print(text);
  }
  return 0;
}

int ProfileCommands::Add(const std::string& skeleton, const std::vector<std::string>& assignments) {
  RequireProfileName(skeleton);
  // A new profile starts from what the window shows for a new file.
  ProfileSettings settings;
  SeqNumRules rules;
  ApplyAssignments(settings, rules, assignments);
  RequireStorableProfile(skeleton, settings);
  Hold();
  const IniFile::Contents contents = FIniFile.Read();
  if (const auto found = FindProfile(contents, skeleton)) {
    throw Exception("There is a profile for " + found->second + " in " + FIniFile.FileName() +
                    " already; set changes its values");
  }
  // The pool first, as the window's Add does: made at Next SN when missing,
  // refused when Next SN lies below it; a refusal leaves the file as it was.
  KeepPool(contents, skeleton, rules, settings.NextSeqNum);
  ProfileKeyValues values = EncodeProfile(settings);
  for (auto& value : EncodeSeqNumRules(rules)) values.push_back(std::move(value));
  FIniFile.WriteValues(skeleton, values);
  return 0;
}

void ProfileCommands::KeepPool(const IniFile::Contents& contents, const std::string& name,
                               const SeqNumRules& given, std::int32_t next) {
  const std::string server = contents.ReadString(kOptionsSection, kSerialServerKey, "");
  if (server.empty()) return;
#if VELMORIN_SERIAL_SERVER
  SeqNumRules rules = given;
  if (!rules.Pool) {
    const std::string stored = contents.ReadString(name, "SerialPool", "");
    if (!stored.empty()) rules.Pool = stored;
  }
  ServerSerialSource(server).KeepPoolAt(PoolName(rules, name), next);
#else
  static_cast<void>(name);
  static_cast<void>(given);
  static_cast<void>(next);
  throw Exception(NoWayToSerialServer(FIniFile.FileName()));
#endif
}

int ProfileCommands::Set(const std::string& skeleton, const std::vector<std::string>& assignments) {
  RequireProfileName(skeleton);
  // Every value is checked before the file is even read.
  ProfileSettings trial;
  SeqNumRules trialRules;
  ApplyAssignments(trial, trialRules, assignments);
  Hold();
  const IniFile::Contents contents = FIniFile.Read();
  const std::string name = RequireProfile(contents, skeleton).second;
  ProfileSettings settings = DecodeProfile(contents, name);
  // The stored rules are not read: only the given ones are written, so a
  // refused value in the file can be mended here.
  SeqNumRules rules;
  const std::vector<std::string> keys = ApplyAssignments(settings, rules, assignments);
  RequireStorableProfile(name, settings);
  // A Next SN given is one the pool must allow, as a store in the window.
  if (std::find(keys.begin(), keys.end(), "NextSeqNum") != keys.end()) {
    KeepPool(contents, name, rules, settings.NextSeqNum);
  }
  // Only the keys given are written, in the text the window would store;
  // every other line of the section stays as it was.
  ProfileKeyValues values = EncodeProfile(settings);
  for (auto& value : EncodeSeqNumRules(rules)) values.push_back(std::move(value));
  ProfileKeyValues changed;
  for (const auto& [key, value] : values) {
    for (const std::string& given : keys) {
      if (given == key) changed.emplace_back(key, value);
    }
  }
  FIniFile.WriteValues(name, changed);
  return 0;
}

int ProfileCommands::Remove(const std::string& skeleton) {
  RequireProfileName(skeleton);
  Hold();
  const IniFile::Contents contents = FIniFile.Read();
  const auto [position, name] = RequireProfile(contents, skeleton);
  IniFile::Changes changes;
  changes.EraseSection(name);
  // The window's last selection is a position in the list of profiles: it
  // must keep pointing at the same profile, or at none when that one goes.
  const std::int32_t selected = contents.ReadInteger(kOptionsSection, kDefaultImgKey, -1);
  if (selected == position) {
    changes.WriteInteger(kOptionsSection, kDefaultImgKey, -1);
  } else if (selected > position) {
    changes.WriteInteger(kOptionsSection, kDefaultImgKey, selected - 1);
  }
  FIniFile.Apply(changes);
  return 0;
}

}  // namespace velmorin::cli
