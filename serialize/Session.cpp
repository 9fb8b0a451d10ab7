#include "serialize/Session.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "platform/ini/IniFile.h"
#include "profiles/ProfileKeys.h"
#include "serialize/Messages.h"
#include "serialize/SerialServerChoice.h"

namespace velmorin {

namespace {

// A profile's name is a section line of the file: it can hold no line break,
// and "Options" is the section of the program's own settings.
void RequireProfileName(const std::string& skeleton) {
  if (skeleton.empty()) throw EProfileValueError("The skeleton file path is empty");
  if (skeleton.find_first_of("\r\n") != std::string::npos) {
    throw EProfileValueError("The skeleton file path \"" + skeleton +
                             "\" holds a line break, which a profile cannot store");
  }
  if (IniFile::SameName(skeleton, kOptionsSection)) {
    throw EProfileValueError("\"" + skeleton +
                             "\" is the section of Velmorin's own settings, no profile");
  }
}

// `skeleton` as a file dialog gives it: absolute from the working folder, in
// its shortest form.
std::string AbsoluteSkeletonPath(const std::string& skeleton) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(skeleton, ec);
  if (ec) return skeleton;
  return absolute.lexically_normal().string();
}

}  // namespace

Session::Session(IniLocation location, Operator& op)
    : FLocation(std::move(location)),
      FOperator(op),
      FStore(FLocation.Path, FProfile, [&op] { return message::AskToSaveChanges(op); }),
      FSerializer(FProfile, FStore, op) {
  FStore.SetSerialSourceConnector(SerialServerConnector());
}

Session::~Session() = default;

void Session::SetObserver(SessionObserver* observer) {
  FProfile.SetObserver(observer);
  FSerializer.SetProgressObserver(observer);
}

std::exception_ptr Session::Open(Start start) {
  // The per-user folder is made here rather than at the first write: the
  // lock file lies beside the INI file from opening on.
  MakeIniFolder(FLocation);
  try {
    FStore.Open(start == Start::SelectLast);
  } catch (const EProfileValueError&) {
    // The seventeen values are shown; the refused key blocks storing and
    // serializing until a profile loads whole.
    return std::current_exception();
  } catch (const ESerialServerError&) {
    // The profile is loaded as the INI file has it; its Next SN does not
    // follow the pool.
    return std::current_exception();
  }
  return nullptr;
}

void Session::Close() {
  FStore.Close();
}

std::string Session::SerialServerDescription() const {
  return FStore.Source() != nullptr ? FStore.Source()->Description() : std::string();
}

void Session::LoadSelectedProfile() {
  FStore.LoadProfile();
}

void Session::LoadChosenFile(const std::string& path) {
  FProfile.SetSkeletonText(path);
  FStore.ClearProfileName();
  FStore.LoadProfile();
}

void Session::AddProfile() {
  FStore.AddProfile();
}

void Session::SaveProfile() {
  FStore.SaveProfile();
}

void Session::RemoveProfile() {
  FStore.RemoveProfile();
}

std::vector<std::string> Session::ProfileNames() const {
  return ProfileSections(FStore.Ini().Read());
}

std::vector<ListedProfile> Session::ListProfiles() const {
  const IniFile::Contents contents = FStore.Ini().Read();
  std::vector<ListedProfile> list;
  for (const std::string& name : ProfileSections(contents)) {
    list.push_back({name, DecodeProfile(contents, name).NextSeqNum});
  }
  return list;
}

std::optional<Session::Found> Session::FindProfile(const IniFile::Contents& contents,
                                                   const std::string& skeleton) const {
  const std::vector<std::string> names = ProfileSections(contents);
  for (const std::string& wanted : {skeleton, AbsoluteSkeletonPath(skeleton)}) {
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (IniFile::SameName(names[i], wanted)) return Found{static_cast<int>(i), names[i]};
    }
  }
  return std::nullopt;
}

Session::Found Session::RequireProfile(const IniFile::Contents& contents,
                                       const std::string& skeleton) const {
  auto found = FindProfile(contents, skeleton);
  if (!found) {
    throw Exception("There is no profile for " + skeleton + " in " + FStore.Ini().FileName());
  }
  return *found;
}

StoredProfile Session::ShowProfile(const std::string& skeleton) const {
  const IniFile::Contents contents = FStore.Ini().Read();
  StoredProfile profile;
  profile.Name = RequireProfile(contents, skeleton).Name;
  profile.Settings = DecodeProfile(contents, profile.Name);
  // Refused, naming the value, as the window refuses to load it; set mends it.
  profile.Optional = OptionalKeys::Decode(contents, profile.Name);
  return profile;
}

void Session::CheckChange(const std::string& skeleton,
                          const std::vector<std::string>& assignments) {
  RequireProfileName(skeleton);
  ProfileSettings trial;
  OptionalKeys trialOptional;
  ApplyAssignments(trial, trialOptional, assignments);
}

std::pair<std::string, std::string> Session::SplitAssignment(const std::string& assignment) {
  const std::size_t equals = assignment.find('=');
  if (equals == std::string::npos || equals == 0) {
    throw EProfileValueError("\"" + assignment + "\" is no KEY=VALUE");
  }
  return {assignment.substr(0, equals), assignment.substr(equals + 1)};
}

std::vector<std::string> Session::ApplyAssignments(ProfileSettings& settings,
                                                   OptionalKeys& optional,
                                                   const std::vector<std::string>& assignments) {
  std::vector<std::string> keys;
  for (const std::string& assignment : assignments) {
    const auto [key, value] = SplitAssignment(assignment);
    const std::string* optionalKey = OptionalKeys::KeyName(key);
    if (optionalKey != nullptr) {
      optional.Apply(key, value);
    } else {
      ApplyProfileValue(settings, key, value);
    }
    const std::string& name = optionalKey != nullptr ? *optionalKey : ProfileKeyName(key);
    if (std::find(keys.begin(), keys.end(), name) == keys.end()) keys.push_back(name);
  }
  return keys;
}

void Session::KeepPool(const IniFile::Contents& contents, const std::string& name,
                       const SeqNumRules& given, std::int32_t next) {
  if (contents.ReadWholeString(kOptionsSection, kSerialServerKey, "").empty()) return;
  // A named server this session has no way to reach refuses the store.
  FStore.RequireProfileRead();
  SeqNumRules rules = given;
  if (!rules.Pool) {
    const std::string stored = contents.ReadString(name, kSerialPoolKey, "");
    if (!stored.empty()) rules.Pool = stored;
  }
  FStore.Source()->KeepPoolAt(PoolName(rules, name), next);
}

void Session::AddProfile(const std::string& skeleton, const std::vector<std::string>& assignments) {
  RequireProfileName(skeleton);
  // A new profile starts from what the window shows for a new file.
  ProfileSettings settings;
  OptionalKeys optional;
  ApplyAssignments(settings, optional, assignments);
  const IniFile::Contents contents = FStore.Ini().Read();
  if (const auto found = FindProfile(contents, skeleton)) {
    throw Exception("There is a profile for " + found->Name + " in " + FStore.Ini().FileName() +
                    " already; set changes its values");
  }
  // Stored as a file dialog would name the file, so that a window started
  // in another folder finds it.
  const std::string name = AbsoluteSkeletonPath(skeleton);
  RequireStorableProfile(name, settings);
  optional.RequireConsistent(settings);
  // The pool first, as the window's Add does: made at Next SN when missing,
  // refused when Next SN lies below it; a refusal leaves the file as it was.
  KeepPool(contents, name, optional.Get<SeqNumRules>(), settings.NextSeqNum);
  ProfileKeyValues values = EncodeProfile(settings);
  for (auto& value : optional.Encode()) values.push_back(std::move(value));
  FStore.Ini().WriteValues(name, values);
}

void Session::SetValues(const std::string& skeleton, const std::vector<std::string>& assignments) {
  RequireProfileName(skeleton);
  // Every value is checked before the file is even read.
  ProfileSettings trial;
  OptionalKeys trialOptional;
  ApplyAssignments(trial, trialOptional, assignments);
  const IniFile::Contents contents = FStore.Ini().Read();
  const std::string name = RequireProfile(contents, skeleton).Name;
  ProfileSettings settings = DecodeProfile(contents, name);
  // The stored optional keys are not read: only the given ones are written,
  // so a refused value in the file can be mended here.
  OptionalKeys optional;
  const std::vector<std::string> keys = ApplyAssignments(settings, optional, assignments);
  RequireStorableProfile(name, settings);
  // The keys that span others are checked on the profile as it will stand:
  // the stored keys a load takes, with the given ones over them.
  OptionalKeys resulting = OptionalKeys::DecodeTaken(contents, name);
  ProfileSettings given = settings;
  ApplyAssignments(given, resulting, assignments);
  resulting.RequireConsistent(settings);
  // A Next SN given is one the pool must allow, as a store in the window.
  if (std::find(keys.begin(), keys.end(), ProfileKeyNames().front()) != keys.end()) {
    KeepPool(contents, name, optional.Get<SeqNumRules>(), settings.NextSeqNum);
  }
  // Only the keys given are written, in the text the window would store;
  // every other line of the section stays as it was.
  ProfileKeyValues values = EncodeProfile(settings);
  for (auto& value : optional.Encode()) values.push_back(std::move(value));
  ProfileKeyValues changed;
  for (const auto& [key, value] : values) {
    if (std::find(keys.begin(), keys.end(), key) != keys.end()) changed.emplace_back(key, value);
  }
  FStore.Ini().WriteValues(name, changed);
}

void Session::RemoveProfile(const std::string& skeleton) {
  RequireProfileName(skeleton);
  const IniFile::Contents contents = FStore.Ini().Read();
  const Found found = RequireProfile(contents, skeleton);
  IniFile::Changes changes;
  changes.EraseSection(found.Name);
  // The window's last selection is a position in the list of profiles: it
  // must keep pointing at the same profile, or at none when that one goes.
  const std::int32_t selected = contents.ReadInteger(kOptionsSection, kDefaultImgKey, -1);
  if (selected == found.Position) {
    changes.WriteInteger(kOptionsSection, kDefaultImgKey, -1);
  } else if (selected > found.Position) {
    changes.WriteInteger(kOptionsSection, kDefaultImgKey, selected - 1);
  }
  FStore.Ini().Apply(changes);
}

bool Session::LoadProfile(const std::string& skeleton) {
  const std::vector<std::string>& names = FProfile.Names();
  int found = -1;
  for (const std::string& wanted : {skeleton, AbsoluteSkeletonPath(skeleton)}) {
    for (std::size_t i = 0; i < names.size() && found < 0; ++i) {
      if (IniFile::SameName(names[i], wanted)) found = static_cast<int>(i);
    }
  }
  // Selecting puts the entry's own spelling into the box, as choosing it
  // from the list does.
  FProfile.Select(found);
  if (found < 0) FProfile.SetSkeletonText(skeleton);
  FStore.ClearProfileName();
  FStore.LoadProfile();
  return found >= 0;
}

void Session::StoreProfile() {
  FStore.StoreProfile();
}

bool Session::SerializeOne() {
  return FSerializer.SerializeOne();
}

BatchOutcome Session::SerializeBatch(std::int32_t count) {
  return FSerializer.SerializeBatch(count);
}

BatchOutcome Session::SerializeInSlots(const SlotPlan& plan, const std::atomic<bool>& abort,
                                       SlotObserver& observer) {
  return SlotBatch(FSerializer, FOperator, abort, observer).Run(plan);
}

}  // namespace velmorin
