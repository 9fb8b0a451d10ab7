#include "profiles/ProfileStore.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "platform/ini/IniFileLock.h"
#include "profiles/ProfileKeys.h"

namespace velmorin {

ProfileStore::~ProfileStore() = default;

ProfileStore::ProfileStore(std::string iniPath, WorkingProfile& profile, AskToSave askToSave)
    : FIniFile(iniPath), FProfile(profile), FAskToSave(std::move(askToSave)) {}

void ProfileStore::Open(bool selectLast) {
  // A store opened again gives up its own hold before taking it anew.
  FLock.reset();
  FLockRefused = false;
  try {
    FLock = IniFileLock::Acquire(FIniFile.FileName());
  } catch (const EIniFileInUse&) {
    // The other copy owns the file: this one must not write it, not even at Close.
    FLockRefused = true;
    throw;
  }
  FProfileName.clear();
  std::optional<IniFile::Contents> contents;
  try {
    contents = FIniFile.Read();
  } catch (const EIniFileException&) {
    // The list and the last selection are unknown: nothing may be stored or
    // serialized on them, and Close must not write DefaultImg back.
    FStartUnread = true;
    throw;
  }
  FStartUnread = false;
  FProfileUnread = false;
  const std::vector<std::string> names = ProfileSections(*contents);
  const auto count = static_cast<std::int64_t>(names.size());
  FProfile.SetNames(names);
  FProductionLogName = contents->ReadString(kOptionsSection, kProductionLogKey, "");
  FSource.reset();
  FSourceRefused.clear();
  FFollowedPool.clear();
  FFollowedNext.reset();
  // Read whole: a connection string cut short would connect without its last
  // options (sslmode, target_session_attrs), and without a word.
  const std::string server = contents->ReadWholeString(kOptionsSection, kSerialServerKey, "");
  if (!server.empty()) {
    if (FConnector) FSource = FConnector(server);
    if (!FSource) FSourceRefused = NoWayToSerialServer(FIniFile.FileName());
  }
  if (!selectLast) return;
  const std::int32_t selected = contents->ReadInteger(kOptionsSection, kDefaultImgKey, -1);
  FProfile.Select(selected >= 0 && selected < count ? selected : -1);
  LoadProfile(&*contents);
}

void ProfileStore::Close() {
  // The hold goes when Close ends, also when the write fails.
  const std::unique_ptr<IniFileLock> release = std::move(FLock);
  if (FLockRefused || FStartUnread) return;
  FIniFile.WriteInteger(kOptionsSection, kDefaultImgKey, FProfile.SelectedIndex());
}

void ProfileStore::RequireProfileRead() const {
  if (FStartUnread) {
    throw EIniFileException("The profiles in " + FIniFile.FileName() +
                            " could not be read at start; restart Velmorin before storing or "
                            "serializing");
  }
  if (FProfileUnread) {
    throw EIniFileException("The profile was not read from " + FIniFile.FileName() +
                            "; select the skeleton file again before storing or serializing");
  }
  if (!FSourceRefused.empty()) throw EIniFileException(FSourceRefused);
  if (!FRulesRefused.empty()) throw EProfileValueError(FRulesRefused);
}

void ProfileStore::LoadProfile() {
  LoadProfile(nullptr);
}

void ProfileStore::LoadProfile(const IniFile::Contents* known) {
  if (FProfile.SelectedIndex() < 0) {
    FProfileName.clear();
    // The reset keeps the slot switches; "Forget changes" isn't a profile value.
    ProfileSettings reset;
    reset.SetSeqNumOfs = FProfile.Settings().SetSeqNumOfs;
    FProfile.SetSettings(reset);
    FProfile.SetOptional(OptionalKeys{});
    FRulesRefused.clear();
    FFollowedPool.clear();
    FFollowedNext.reset();
    return;
  }

  // One read serves the comparison and the load, unless a write comes between.
  std::optional<IniFile::Contents> contents;
  if (known != nullptr) contents = *known;
  const auto read = [&] {
    try {
      contents = FIniFile.Read();
    } catch (const EIniFileException&) {
      // The window does not hold the stored profile: it is no current
      // profile, and nothing may be stored or serialized from it.
      FProfileUnread = true;
      FProfileName.clear();
      throw;
    }
  };
  if (!contents) read();

  if (!FProfileName.empty() && !ProfileUnchanged(*contents)) {
    if (FAskToSave() && !FProfile.ForgetChanges()) {
      const ProfileSettings shown = FProfile.Settings();
      RequireStorableProfile(FProfileName, shown);
      KeepPoolFor(FProfileName, shown);
      FIniFile.WriteValues(FProfileName, StoredValues(shown));
      read();
    }
  }

  FProfileName = FProfile.SkeletonText();
  FProfileUnread = false;
  FProfile.SetSettings(DecodeProfile(*contents, FProfileName));
  FProfile.SetOptional(OptionalKeys{});
  FRulesRefused.clear();
  try {
    OptionalKeys keys = OptionalKeys::Decode(*contents, FProfileName);
    keys.RequireConsistent(FProfile.Settings(), FProfileName);
    FProfile.SetOptional(keys);
  } catch (const EProfileValueError& error) {
    // The window shows the seventeen values, but a number must not be taken
    // in a form nobody asked for, nor the profile stored without its keys:
    // both stay refused until a profile loads whole. As no profile is
    // current, leaving this one asks nothing.
    FRulesRefused = error.Message();
    FProfileName.clear();
    FFollowedPool.clear();
    FFollowedNext.reset();
    throw;
  }
  // A server that can't be asked leaves the profile loaded as the file has
  // it; the error still reaches the operator.
  ShowPoolNext();
}

void ProfileStore::ShowPoolNext() {
  FFollowedPool.clear();
  FFollowedNext.reset();
  if (!FSource || FProfileName.empty()) return;
  const std::string pool = PoolName(Rules(), FProfileName);
  std::optional<std::int64_t> next = FSource->PoolNext(pool);
  if (!next) return;  // made at Next SN by the first store or take
  // A station that counted out numbers by itself before it joined the pool
  // has used those below its Next SN: the pool moves up to it, so that they
  // are never handed out again (as a store does).
  const std::int32_t own = FProfile.NextSeqNum();
  if (own > *next) {
    FSource->KeepPoolAt(pool, own);
    next = own;
  }
  // A pool that gave its last number, 2147483647, shows that number: the
  // field holds no more.
  constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kHighest = std::numeric_limits<std::int32_t>::max();
  FollowPool(pool, static_cast<std::int32_t>(std::clamp(*next, kLowest, kHighest)));
}

void ProfileStore::FollowPool(const std::string& pool, std::int32_t next) {
  FProfile.SetNextSeqNum(next);
  FFollowedPool = pool;
  FFollowedNext = next;
}

void ProfileStore::KeepPoolFor(const std::string& profileName, const ProfileSettings& shown) {
  if (!FSource) return;
  const std::string pool = PoolName(Rules(), profileName);
  // A Next SN that only follows the pool has nothing to tell it; this also
  // spares the server a question for each image's mirror store.
  if (pool == FFollowedPool && FFollowedNext == shown.NextSeqNum) return;
  FSource->KeepPoolAt(pool, shown.NextSeqNum);
  FFollowedPool = pool;
  FFollowedNext = shown.NextSeqNum;
}

void ProfileStore::StoreProfile() {
  RequireProfileRead();
  FProfileName = FProfile.SkeletonText();
  if (FProfile.ForgetChanges()) return;
  const ProfileSettings shown = FProfile.Settings();
  RequireStorableProfile(FProfileName, shown);
  // The pool first: a pool that refuses the number leaves the file as it was.
  KeepPoolFor(FProfileName, shown);
  // One replacement for all seventeen keys: a failure leaves the stored
  // profile whole, and the serial number is on disk when this returns.
  FIniFile.WriteValues(FProfileName, StoredValues(shown));
}

ProfileKeyValues ProfileStore::StoredValues(const ProfileSettings& shown) const {
  ProfileKeyValues values = EncodeProfile(shown);
  for (auto& value : FProfile.Optional().Encode()) values.push_back(std::move(value));
  return values;
}

bool ProfileStore::ProfileUnchanged() const {
  return ProfileUnchanged(FIniFile.Read());
}

bool ProfileStore::ProfileUnchanged(const IniFile::Contents& contents) const {
  ProfileSettings shown = FProfile.Settings();
  const ProfileSettings stored = DecodeProfile(contents, FProfileName);
  // Next SN moves with the pool, under other stations' takes too: only a
  // number the operator typed is a change.
  if (FFollowedNext == shown.NextSeqNum && FFollowedPool == PoolName(Rules(), FProfileName)) {
    shown.NextSeqNum = stored.NextSeqNum;
  }
  return stored == shown;
}

void ProfileStore::AddProfile() {
  const std::string text = FProfile.SkeletonText();
  for (const std::string& name : FProfile.Names()) {
    if (IniFile::SameName(name, text)) return;
  }
  StoreProfile();  // raises before the list changes when the file refuses the write
  FProfile.AddName(text);
}

void ProfileStore::SaveProfile() {
  if (FProfile.ForgetChanges()) {
    // Nothing may be written, so nothing is erased either: the stored profile
    // stays as it was.
    StoreProfile();
    return;
  }
  RequireProfileRead();
  const ProfileSettings shown = FProfile.Settings();
  RequireStorableProfile(FProfile.SkeletonText(), shown);
  KeepPoolFor(FProfile.SkeletonText(), shown);
  // The old section goes and the new one is written in the same replacement,
  // so there is no moment at which the profile exists nowhere.
  const std::string leaving = FProfileName;
  FProfileName = FProfile.SkeletonText();
  IniFile::Changes changes;
  changes.EraseSection(leaving);
  for (auto& [key, value] : StoredValues(shown)) {
    changes.WriteString(FProfileName, std::move(key), std::move(value));
  }
  FIniFile.Apply(changes);
}

void ProfileStore::RemoveProfile() {
  FIniFile.EraseSection(FProfileName);
  const int selected = FProfile.SelectedIndex();
  if (selected >= 0) FProfile.DeleteName(selected);
  if (FProfile.SelectedIndex() >= 0) FProfile.Select(-1);
  LoadProfile();
}

}  // namespace velmorin
