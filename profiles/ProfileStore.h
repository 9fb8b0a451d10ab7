// The profile store: moves the seventeen profile values between the window
// (through ProfileView) and the INI file, one section per skeleton file, and
// keeps the last selection in section "Options".
#pragma once

#include <string>

#include "IniFile.h"
#include "Operator.h"
#include "ProfileView.h"

namespace velmorin {

class ProfileStore {
 public:
  // `iniPath` is the INI file (the executable's path with ".ini"); nothing is
  // read or written until Open().
  ProfileStore(std::string iniPath, ProfileView& view, Operator& op);

  // Start-up: fills the list from the file's sections, drops "Options",
  // selects DefaultImg and loads that profile.
  void Open();
  // Shut-down: stores the selected index as DefaultImg.
  void Close();

  void LoadProfile();
  void StoreProfile();
  bool ProfileUnchanged() const;
  void AddProfile();
  void SaveProfile();
  void RemoveProfile();

  // The section the window was last loaded from or stored to; empty when none.
  const std::string& FProfileName() const { return FProfileNameValue; }
  // Forgets the current profile, so that the next LoadProfile asks nothing.
  void ClearProfileName() { FProfileNameValue.clear(); }

  const IniFile& Ini() const { return FIniFile; }

 private:
  IniFile FIniFile;
  ProfileView& FView;
  Operator& FOperator;
  std::string FProfileNameValue;
};

}  // namespace velmorin
