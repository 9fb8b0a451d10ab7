// One working session with the profiles and the serializer, the same for
// every front end: the window, the command line, the benchmarks and the crash
// tests. It owns the profile store (and through it the hold on the INI file)
// and the serializer, and wires them to the front end's view of the profile,
// its operator and, optionally, its way of running the burner. Front ends
// keep only what is theirs: the window its controls and the prompt for the
// batch's size, the command line its options and its report.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "serialize/BurnerRunner.h"
#include "serialize/Operator.h"
#include "serialize/ProductionLog.h"
#include "profiles/ProfileStore.h"
#include "profiles/ProfileView.h"
#include "serialize/Serializer.h"

namespace velmorin {

class Session {
 public:
  // Nothing is read or locked until Open. `view` and `op` must outlive the
  // session.
  Session(std::string iniPath, ProfileView& view, Operator& op);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Start-up: takes the hold on the INI file, fills the view's list from the
  // file, selects the last selection and loads its profile, and reads which
  // production record to keep (section "Options", key "ProductionLog").
  // Raises EIniFileInUse (an EIniFileException) before anything is read when
  // another copy of the program holds the file, EIniFileException when the
  // file can't be read.
  void Open();
  // Shut-down: stores the selected entry as the next start's selection and
  // lets go of the hold. A session destroyed without Close writes nothing
  // (the hold goes all the same).
  void Close();

  // How to reach the serial server that "[Options] SerialServer" may name;
  // set before Open (see ProfileStore::SetSerialSourceConnector).
  void SetSerialSourceConnector(SerialSourceConnector connector) {
    FStore.SetSerialSourceConnector(std::move(connector));
  }
  // Where the serial numbers come from, for the About box: the serial
  // server's host and database, or empty when the INI file names none.
  std::string SerialServerDescription() const {
    return FStore.Source() != nullptr ? FStore.Source()->Description() : std::string();
  }

  const std::string& IniPath() const { return FIniPath; }
  // The production record's file as the INI file named it at Open; empty when
  // there is none.
  const std::string& ProductionLogName() const { return FStore.ProductionLogName(); }

  // The profiles the INI file holds now (its sections but "Options"), in file
  // order, read afresh.
  std::vector<std::string> ProfileNames() const;
  // Puts `skeletonPath` into the view's skeleton-file box and loads its
  // stored profile, selecting its list entry (names match as the INI file
  // matches them, without regard to letter case), without asking whether to
  // save the current one. False when no profile of that name is listed: then
  // nothing is selected and the view holds a new file's defaults, as when
  // the window is given a file it has no profile for.
  bool LoadProfile(const std::string& skeletonPath);
  // Writes the view's values as the profile of the skeleton file in the box.
  void StoreProfile();

  // "Serialize 1"; true when the image is done.
  bool SerializeOne();
  // A batch of `count` images (see Serializer::SerializeBatch).
  BatchOutcome SerializeBatch(std::int32_t count);

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

  ProfileStore& Store() { return FStore; }
  const ProfileStore& Store() const { return FStore; }
  Serializer& Serialization() { return FSerializer; }

 private:
  std::string FIniPath;
  ProfileView& FView;
  ProfileStore FStore;
  Serializer FSerializer;
};

}  // namespace velmorin
