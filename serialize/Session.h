// One working session with the profiles and the serializer, the same for
// every front end: the window, the command line, the benchmarks and the crash
// tests. It owns the working profile and every rule about profiles: it
// opens the INI file where it lies (making a per-user folder first), holds
// the lock on it, chooses where the serial numbers come from, and lists,
// shows, adds, sets, removes, loads, stores and serializes. Front ends keep
// only what is theirs: the window its controls (which show the working
// profile and hand each edit to it) and the prompt for the batch's size, the
// command line its options and its report.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/ini/IniLocation.h"
#include "profiles/OptionalKeys.h"
#include "profiles/ProfileStore.h"
#include "profiles/WorkingProfile.h"
#include "serialize/BurnerRunner.h"
#include "serialize/Operator.h"
#include "serialize/ProductionLog.h"
#include "serialize/Serializer.h"
#include "serialize/SessionObserver.h"
#include "serialize/SlotBatch.h"

namespace velmorin {

// A profile as the INI file holds it.
struct StoredProfile {
  std::string Name;  // the section, in its stored spelling
  ProfileSettings Settings;
  OptionalKeys Optional;
};

// One line of the list of profiles.
struct ListedProfile {
  std::string Name;
  std::int32_t NextSeqNum = 0;
};

class Session {
 public:
  // What Open is to do after taking the hold and reading the list.
  enum class Start {
    SelectLast,  // select the last selection and load its profile (the window)
    Nothing,     // select and load nothing (the command line)
  };

  // Nothing is read, made or locked until Open. `op` must outlive the session.
  Session(IniLocation location, Operator& op);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Start-up: makes the folder of a per-user INI file, takes the hold on the
  // file, fills the working profile's list from it, reads which production
  // record to keep (section "Options", key "ProductionLog") and which serial
  // server to draw from ("SerialServer"), and then does what `start` says.
  // Raises EIniFileInUse (an EIniFileException) before anything is read when
  // another copy of the program holds the file, EIniFileException when the
  // file can't be read. A load of the last selection that refuses (a value
  // of an optional key, a serial server that can't be asked) leaves the
  // session open with the profile's seventeen values shown, and is returned
  // for the front end to report when it will.
  std::exception_ptr Open(Start start = Start::SelectLast);
  // Shut-down: stores the selected entry as the next start's selection and
  // lets go of the hold. A session destroyed without Close writes nothing
  // (the hold goes all the same).
  void Close();

  // Told of the session's changes from now on (nullptr: nobody); it must
  // outlive the session.
  void SetObserver(SessionObserver* observer);

  // The working profile: read it, and hand it each edit as the operator
  // makes it (its Edit... members).
  WorkingProfile& Profile() { return FProfile; }
  const WorkingProfile& Profile() const { return FProfile; }
  // The current profile's name (the section last loaded or stored); empty
  // when none.
  const std::string& ProfileName() const { return FStore.ProfileName(); }

  const std::string& IniPath() const { return FLocation.Path; }
  // The INI file's full path, as messages name it.
  const std::string& IniFileName() const { return FStore.Ini().FileName(); }
  // The production record's file as the INI file named it at Open; empty when
  // there is none.
  const std::string& ProductionLogName() const { return FStore.ProductionLogName(); }
  // Where the serial numbers come from, for the About box: the serial
  // server's host and database, or empty when the INI file names none.
  std::string SerialServerDescription() const;

  // --- The window's commands, on the working profile and its box ---

  // The entry selected in the box: asks whether to store the changes of the
  // profile being left, then loads the selected one (or resets).
  void LoadSelectedProfile();
  // A file chosen by browsing: it goes into the box and replaces the current
  // profile without a question.
  void LoadChosenFile(const std::string& path);
  // True when the working profile equals the stored profile of the current
  // one: leaving it asks nothing.
  bool ProfileUnchanged() const { return FStore.ProfileUnchanged(); }
  // Add, Save and Remove of the window.
  void AddProfile();
  void SaveProfile();
  void RemoveProfile();

  // --- By skeleton name (the command line, the benchmarks, the crash tests) ---
  // A name is looked up as the INI file matches section names (letter case
  // ignored): first as given, then as the absolute path it names from the
  // working folder, as a file dialog gives it.

  // The profiles the INI file holds now, in file order, read afresh.
  std::vector<std::string> ProfileNames() const;
  // The same with each one's Next SN.
  std::vector<ListedProfile> ListProfiles() const;
  // The stored profile of `skeleton`; raises when there is none, and, naming
  // the value, when one of its optional keys is refused.
  StoredProfile ShowProfile(const std::string& skeleton) const;
  // Makes a profile with the defaults of a new file and `assignments`
  // ("KEY=VALUE", the optional keys too) under the absolute path of
  // `skeleton`. Raises EProfileValueError, changing nothing, for a value or
  // key refused, and Exception when the profile exists already.
  void AddProfile(const std::string& skeleton, const std::vector<std::string>& assignments);
  // Writes the values given, and only those, into the stored profile.
  void SetValues(const std::string& skeleton, const std::vector<std::string>& assignments);
  // Erases the stored profile; the last selection keeps pointing at the same
  // profile, or at none when that one goes.
  void RemoveProfile(const std::string& skeleton);
  // Puts `skeleton` into the box and loads its stored profile, selecting its
  // entry, without asking whether to save the current one. False when no
  // profile of that name is listed: then nothing is selected and the working
  // profile holds a new file's defaults.
  bool LoadProfile(const std::string& skeleton);
  // Writes the working profile as the profile of the skeleton file in the box.
  void StoreProfile();

  // Checks a change of profile `skeleton` before anything is read: raises
  // EProfileValueError for a name no profile can have, or an assignment that
  // is no KEY=VALUE, names no key or gives a value the key refuses.
  static void CheckChange(const std::string& skeleton, const std::vector<std::string>& assignments);
  // "KEY=VALUE" split at its first "="; raises EProfileValueError without one.
  static std::pair<std::string, std::string> SplitAssignment(const std::string& assignment);
  // `assignments` applied in order, the seventeen keys to `settings` and the
  // optional ones to `optional`; raises EProfileValueError (leaving both as
  // they may be half done) at the first one refused. Returns the stored
  // spelling of every key given, each once.
  static std::vector<std::string> ApplyAssignments(ProfileSettings& settings,
                                                   OptionalKeys& optional,
                                                   const std::vector<std::string>& assignments);

  // --- Serializing the working profile ---

  // "Serialize 1"; true when the image is done.
  bool SerializeOne();
  // The road of one image alone, as a batch makes each: no box when it is done.
  bool SerializeImage() { return FSerializer.SerializeImage(); }
  // A batch of `count` images (see Serializer::SerializeBatch).
  BatchOutcome SerializeBatch(std::int32_t count);
  // A batch of `plan.Count` images over several burners at once (see
  // SlotBatch); `abort` stops every burner, as Abort does. Both `abort` and
  // `observer` are only used while it runs.
  BatchOutcome SerializeInSlots(const SlotPlan& plan, const std::atomic<bool>& abort,
                                SlotObserver& observer);

  // Replaces the way the burner is run (ExecAndWait by default); the runner
  // must outlive the session.
  void SetBurnerRunner(BurnerRunner& runner) { FSerializer.SetBurnerRunner(runner); }
  // Told of every number taken (see Serializer::SetSerialObserver).
  void SetSerialObserver(Serializer::SerialObserver observer) {
    FSerializer.SetSerialObserver(std::move(observer));
  }
  // Asks a batch under way to stop before its next number (signal-safe).
  void RequestStop() { FSerializer.RequestStop(); }
  void ClearStop() { FSerializer.ClearStop(); }
  // An owner's flag that asks for the same; it must outlive the session.
  void SetStopFlag(const std::atomic<bool>* flag) { FSerializer.SetStopFlag(flag); }
  bool StopRequested() const { return FSerializer.StopRequested(); }

 private:
  // The section of `skeleton` and its position among the profiles.
  struct Found {
    int Position = -1;
    std::string Name;
  };
  std::optional<Found> FindProfile(const IniFile::Contents& contents,
                                   const std::string& skeleton) const;
  Found RequireProfile(const IniFile::Contents& contents, const std::string& skeleton) const;
  // Before profile `name` is written with `next` as its Next SN: when the
  // file names a serial server, the profile's pool (SerialPool in `given`,
  // else as stored, else the skeleton's stem) is made at `next` or moved up
  // to it, and a `next` below it is refused (ESerialPoolRefused).
  void KeepPool(const IniFile::Contents& contents, const std::string& name,
                const SeqNumRules& given, std::int32_t next);

  IniLocation FLocation;
  Operator& FOperator;
  WorkingProfile FProfile;
  ProfileStore FStore;
  Serializer FSerializer;
};

}  // namespace velmorin
