// The profile store: moves the working profile (the seventeen values and the
// optional keys) between the session and the INI file, one section per
// skeleton file, and keeps the last selection in section "Options". It holds
// the rules of the window's profile operations: load, store, compare, add,
// save and remove.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ini/IniFile.h"
#include "profiles/ProfileKeys.h"
#include "profiles/SeqNumRules.h"
#include "profiles/SerialSource.h"
#include "profiles/WorkingProfile.h"

namespace velmorin {

class IniFileLock;

class ProfileStore {
 public:
  // Asks the operator whether the changes of the profile being left are to be
  // stored; true for Yes.
  using AskToSave = std::function<bool()>;

  // `iniPath` is the INI file (the executable's path with ".ini"); nothing is
  // read or written until Open(). `profile` must outlive the store.
  ProfileStore(std::string iniPath, WorkingProfile& profile, AskToSave askToSave);
  ~ProfileStore();
  ProfileStore(const ProfileStore&) = delete;
  ProfileStore& operator=(const ProfileStore&) = delete;

  // Start-up: takes the hold on the INI file (EIniFileInUse, before anything
  // is read, when another copy of the program has it), fills the list from the
  // file's sections, drops "Options", and, with `selectLast`, selects
  // DefaultImg and loads that profile, all from one read of the file. When
  // "Options" names a serial server (key "SerialServer"), the connector makes
  // its source first.
  void Open(bool selectLast = true);

  // How to make the source of numbers that "[Options] SerialServer" names;
  // set before Open. Without one, a file that names a server refuses to
  // store or serialize: a station that believes it shares a series must not
  // count on its own.
  void SetSerialSourceConnector(SerialSourceConnector connector) {
    FConnector = std::move(connector);
  }
  // The serial server's source, or nullptr when the INI file names none.
  SerialSource* Source() const { return FSource.get(); }
  // After a number was taken from `pool`: Next SN shows the pool's next
  // number, which then counts as no change of the operator's.
  void FollowPool(const std::string& pool, std::int32_t next);
  // Shut-down: stores the selected index as DefaultImg and lets go of the
  // hold. A store refused at Open, or whose start-up read failed, writes nothing.
  void Close();

  // Raises, naming the INI file, when the window's values may not stand for
  // the stored profile because a read failed: the start-up read (until the
  // next start) or the load of the current entry (until a load succeeds).
  // Storing and serializing call it before anything is written or taken, so a
  // failed read never lets a Next SN below the stored one reach the file.
  // It raises too, with the load's own message, while the loaded profile
  // holds a serial number rule that was refused.
  void RequireProfileRead() const;

  void LoadProfile();
  void StoreProfile();
  bool ProfileUnchanged() const;
  void AddProfile();
  void SaveProfile();
  void RemoveProfile();

  // The serial number rules of the working profile: loaded with it, stored
  // with it, reset with it (one group of its optional keys).
  const SeqNumRules& Rules() const { return FProfile.Optional().Get<SeqNumRules>(); }

  // The current profile: the section the working profile was last loaded
  // from or stored to; empty when none.
  const std::string& ProfileName() const { return FProfileName; }
  // Forgets the current profile, so that the next LoadProfile asks nothing.
  void ClearProfileName() { FProfileName.clear(); }

  const IniFile& Ini() const { return FIniFile; }
  IniFile& Ini() { return FIniFile; }
  // The production record's file as section "Options" names it at start-up
  // (key "ProductionLog"); empty when there is to be no record.
  const std::string& ProductionLogName() const { return FProductionLogName; }

 private:
  // LoadProfile from a read already made (nullptr: read the file now).
  void LoadProfile(const IniFile::Contents* known);
  // Reads the pool's next number into Next SN, when there is a server and
  // the pool exists; a pool below the loaded Next SN is moved up to it first.
  void ShowPoolNext();
  // Before `shown` is stored as the profile of `profileName`: brings its pool
  // along (made, or moved forward), unless the Next SN only follows it.
  void KeepPoolFor(const std::string& profileName, const ProfileSettings& shown);
  bool ProfileUnchanged(const IniFile::Contents& contents) const;
  // The seventeen values and the rules that are present, as the file holds them.
  ProfileKeyValues StoredValues(const ProfileSettings& shown) const;

  IniFile FIniFile;
  std::unique_ptr<IniFileLock> FLock;
  bool FLockRefused = false;
  bool FStartUnread = false;
  bool FProfileUnread = false;
  WorkingProfile& FProfile;
  AskToSave FAskToSave;
  std::string FProfileName;
  // Why the loaded profile's rules were refused; empty when they weren't.
  std::string FRulesRefused;
  std::string FProductionLogName;
  SerialSourceConnector FConnector;
  std::unique_ptr<SerialSource> FSource;
  // Why a named serial server has no source; empty when none is named or it has one.
  std::string FSourceRefused;
  // The pool whose next number the Next SN field shows, and that number.
  std::string FFollowedPool;
  std::optional<std::int32_t> FFollowedNext;
};

}  // namespace velmorin
