// A window without a screen: the working copy of the profile, the
// skeleton-file list and the progress bar as plain fields, for front ends and
// programs that run the core with nobody looking at controls (the command
// line, the benchmarks, the crash-test children). It behaves like the real box
// where that matters to the core: selecting an entry puts its text into the
// box, and deleting the selected entry leaves none selected.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "profiles/ProfileView.h"

namespace velmorin {

class MemoryProfileView : public ProfileView {
 public:
  // The "controls", open for the owner to set up and read.
  ProfileSettings settings;
  std::vector<std::string> items;  // the skeleton-file list
  int index = -1;                  // its selected entry, -1 for none
  std::string text;                // the skeleton-file box's text
  bool forgetChanges = false;
  int progressMinimum = 0;
  int progressMaximum = 100;
  int progressPosition = 0;

  ProfileSettings Settings() const override { return settings; }
  void SetSettings(const ProfileSettings& value) override { settings = value; }

  std::int32_t NextSeqNum() const override { return settings.NextSeqNum; }
  void SetNextSeqNum(std::int32_t value) override { settings.NextSeqNum = value; }

  std::string SkelFileText() const override { return text; }
  void SetSkelFileText(const std::string& value) override { text = value; }
  std::vector<std::string> SkelFileItems() const override { return items; }
  // A new list has no entry selected; the text stays.
  void SetSkelFileItems(const std::vector<std::string>& value) override;
  void AddSkelFileItem(const std::string& item) override { items.push_back(item); }
  // Deleting the selected entry leaves none selected (the text stays);
  // deleting one above it keeps the same entry selected.
  void DeleteSkelFileItem(int position) override;
  int SkelFileIndex() const override { return index; }
  void SetSkelFileIndex(int position) override;

  bool ForgetChanges() const override { return forgetChanges; }

  void SetProgressRange(int minimum, int maximum) override;
  void SetProgressPosition(int position) override { progressPosition = position; }
};

}  // namespace velmorin
