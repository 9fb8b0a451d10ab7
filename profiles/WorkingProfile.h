// The working copy of the current profile: the seventeen values the window's
// fields show and every image uses, the optional keys loaded with them, the
// skeleton-file box (its text, the list of profile names and the selected
// entry) and "Forget changes". The session owns it; the profile store loads
// it from the INI file and stores it there, the serializer takes one snapshot
// of it per image.
//
// Two kinds of change. A front end hands over each edit as the operator
// makes it (Edit...): taken as it is, nobody is told, since the front end
// already shows it. The core's own changes (Set..., Select, the list) are
// told to the observer, so that a window shows what the core did: a load, a
// reset, Next SN advanced after a take.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "profiles/OptionalKeys.h"
#include "profiles/ProfileSettings.h"

namespace velmorin {

// What a front end is told of the core's changes to the working profile.
class ProfileObserver {
 public:
  virtual ~ProfileObserver() = default;
  // All seventeen values (a load, a reset).
  virtual void ProfileShown(const ProfileSettings& settings) = 0;
  // Next SN alone (the advance after a take, a pool's next number).
  virtual void NextSeqNumShown(std::int32_t value) = 0;
  // The skeleton-file box: the list of profile names, the selected entry
  // (-1 for none) and the box's text.
  virtual void SkeletonBoxShown(const std::vector<std::string>& names, int selected,
                                const std::string& text) = 0;
};

// What one image is made with: the profile as it stood when the image began.
struct ImageSettings {
  ProfileSettings Settings;
  OptionalKeys Optional;
  std::string Skeleton;  // the skeleton-file box's text
};

class WorkingProfile {
 public:
  // Told of the core's changes from now on; nullptr: nobody.
  void SetObserver(ProfileObserver* observer) { FObserver = observer; }

  // The seventeen values.
  const ProfileSettings& Settings() const { return FSettings; }
  // A front end's edit of them.
  void EditSettings(const ProfileSettings& settings) { FSettings = settings; }
  // The same, one value at a time.
  ProfileSettings& EditableSettings() { return FSettings; }
  // The core's: a load or a reset.
  void SetSettings(const ProfileSettings& settings);

  std::int32_t NextSeqNum() const { return FSettings.NextSeqNum; }
  void SetNextSeqNum(std::int32_t value);

  // The optional keys of the loaded profile; no front end shows them.
  const OptionalKeys& Optional() const { return FOptional; }
  void SetOptional(const OptionalKeys& keys) { FOptional = keys; }

  // The skeleton-file box's text: the path the operator is working with.
  const std::string& SkeletonText() const { return FSkeletonText; }
  void EditSkeletonText(const std::string& text) { FSkeletonText = text; }
  void SetSkeletonText(const std::string& text);

  // The list of profile names, in the order of the file.
  const std::vector<std::string>& Names() const { return FNames; }
  // A new list has no entry selected; the text stays.
  void SetNames(const std::vector<std::string>& names);
  // Appends a name; the selection and the text stay.
  void AddName(const std::string& name);
  // Deleting the selected entry leaves none selected (the text stays);
  // deleting one above it keeps the same entry selected.
  void DeleteName(int index);

  // The selected entry, -1 for none.
  int SelectedIndex() const { return FSelected; }
  // Selects entry `index` and puts its name into the box; -1 or an index
  // outside the list leaves no entry selected (the text stays).
  void Select(int index);
  // A front end's selection of entry `index`, whose name its box already shows.
  void EditSelectedIndex(int index) { FSelected = InList(index) ? index : -1; }

  bool ForgetChanges() const { return FForgetChanges; }
  void EditForgetChanges(bool forget) { FForgetChanges = forget; }

  // What an image begun now is made with.
  ImageSettings Snapshot() const { return {FSettings, FOptional, FSkeletonText}; }

 private:
  bool InList(int index) const { return index >= 0 && index < static_cast<int>(FNames.size()); }
  void ShowSkeletonBox();

  ProfileSettings FSettings;
  OptionalKeys FOptional;
  std::string FSkeletonText;
  std::vector<std::string> FNames;
  int FSelected = -1;
  bool FForgetChanges = false;
  ProfileObserver* FObserver = nullptr;
};

}  // namespace velmorin
