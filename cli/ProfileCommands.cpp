#include "cli/ProfileCommands.h"

#include <nlohmann/json.hpp>
#include <variant>

#include "cli/JsonText.h"
#include "cli/StandardOutput.h"
#include "profiles/ProfileKeys.h"
#include "serialize/AnswerOperator.h"
#include "serialize/Session.h"

namespace velmorin::cli {

namespace {

nlohmann::ordered_json ShownJson(const ShownValues& shown) {
  nlohmann::ordered_json j = nlohmann::ordered_json::object();
  for (const ShownValue& value : shown) {
    std::visit([&](const auto& v) { j[value.Key] = v; }, value.Value);
  }
  return j;
}

}  // namespace

ProfileCommands::ProfileCommands(IniLocation location, bool json, std::FILE* out)
    : FLocation(std::move(location)), FJson(json), FOut(out) {}

ProfileCommands::~ProfileCommands() = default;

Session& ProfileCommands::Open() {
  // No box is ever asked: the profile commands use no window command.
  FOperator = std::make_unique<AnswerOperator>();
  FSession = std::make_unique<Session>(FLocation, *FOperator);
  FSession->Open(Session::Start::Nothing);
  return *FSession;
}

void ProfileCommands::Print(const std::string& text) {
  WriteOutput(FOut, text);
}

int ProfileCommands::List() {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  std::string text;
  for (const ListedProfile& profile : Open().ListProfiles()) {
    if (FJson) {
      list.push_back({{"skeleton", profile.Name}, {"NextSeqNum", profile.NextSeqNum}});
    } else {
      text += profile.Name + "\t" + std::to_string(profile.NextSeqNum) + "\n";
    }
  }
  Print(FJson ? JsonText(list, 2) + "\n" : text);
  return 0;
}

int ProfileCommands::Show(const std::string& skeleton) {
  const StoredProfile profile = Open().ShowProfile(skeleton);
  if (FJson) {
    // Only the optional keys the profile holds, as the text shows them.
    ShownValues shown = ShowProfile(profile.Settings);
    for (ShownValue& value : profile.Optional.Show()) shown.push_back(std::move(value));
    nlohmann::ordered_json j;
    j["skeleton"] = profile.Name;
    j["settings"] = ShownJson(shown);
    Print(JsonText(j, 2) + "\n");
  } else {
    std::string text;
    for (const auto& [key, value] : EncodeProfile(profile.Settings))
      text += key + "=" + value + "\n";
    for (const auto& [key, value] : profile.Optional.Encode()) text += key + "=" + value + "\n";
    Print(text);
  }
  return 0;
}

int ProfileCommands::Add(const std::string& skeleton, const std::vector<std::string>& assignments) {
  // Every value is checked before the file is held.
  Session::CheckChange(skeleton, assignments);
  Open().AddProfile(skeleton, assignments);
  return 0;
}

int ProfileCommands::Set(const std::string& skeleton, const std::vector<std::string>& assignments) {
  Session::CheckChange(skeleton, assignments);
  Open().SetValues(skeleton, assignments);
  return 0;
}

int ProfileCommands::Remove(const std::string& skeleton) {
  Session::CheckChange(skeleton, {});
  Open().RemoveProfile(skeleton);
  return 0;
}

void ProfilesCommand::Declare(CLI::App& app) {
  FCommand = app.add_subcommand("profiles", "List the profiles: skeleton path and Next SN");
  FCommand->add_flag("--json", FJson, "Print JSON");
}

int ProfilesCommand::Run(const CommandContext& context) {
  return ProfileCommands(context.Location(), FJson, context.Out).List();
}

void OneProfileCommand::DeclareSkeleton() {
  FCommand->add_option("SKELETON", FSkeleton, "The profile's skeleton file path")->required();
}

void ShowCommand::Declare(CLI::App& app) {
  FCommand = app.add_subcommand("show", "Print the settings of one profile");
  DeclareSkeleton();
  FCommand->add_flag("--json", FJson, "Print JSON");
}

int ShowCommand::Run(const CommandContext& context) {
  return ProfileCommands(context.Location(), FJson, context.Out).Show(FSkeleton);
}

void AddCommand::Declare(CLI::App& app) {
  FCommand =
      app.add_subcommand("add", "Make a profile with the defaults of a new one, then set values");
  DeclareSkeleton();
  FCommand->add_option("KEY=VALUE", FAssignments, "Values to set, as in the INI file");
}

int AddCommand::Run(const CommandContext& context) {
  return ProfileCommands(context.Location(), false, context.Out).Add(FSkeleton, FAssignments);
}

void SetCommand::Declare(CLI::App& app) {
  FCommand = app.add_subcommand("set", "Change stored values of a profile");
  DeclareSkeleton();
  FCommand->add_option("KEY=VALUE", FAssignments, "Values to set, as in the INI file")->required();
}

int SetCommand::Run(const CommandContext& context) {
  return ProfileCommands(context.Location(), false, context.Out).Set(FSkeleton, FAssignments);
}

void RemoveCommand::Declare(CLI::App& app) {
  FCommand = app.add_subcommand("remove", "Erase a profile");
  DeclareSkeleton();
}

int RemoveCommand::Run(const CommandContext& context) {
  return ProfileCommands(context.Location(), false, context.Out).Remove(FSkeleton);
}

}  // namespace velmorin::cli
