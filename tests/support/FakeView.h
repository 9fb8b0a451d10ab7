// A window for tests of the core: plain fields in place of the controls, and a
// record of what the core did to the progress bar.
#pragma once

#include <string>
#include <vector>

#include "ProfileView.h"

namespace velmorin::test {

class FakeView : public ProfileView {
 public:
  // The controls, open for tests to set up and inspect.
  ProfileSettings settings;
  std::vector<std::string> items;  // the skeleton-file list
  int index = -1;                  // its selected entry, -1 for none
  std::string text;                // the skeleton-file box's text
  bool forgetChanges = false;
  int progressMinimum = 0;
  int progressMaximum = 100;
  int progressPosition = 0;

  // Every position the core gave the progress bar, in order.
  std::vector<int> progressPositions;
  // How often the core put a whole profile into the window.
  int settingsWrites = 0;

  ProfileSettings Settings() const override { return settings; }
  void SetSettings(const ProfileSettings& value) override;

  std::int32_t NextSeqNum() const override { return settings.NextSeqNum; }
  void SetNextSeqNum(std::int32_t value) override { settings.NextSeqNum = value; }

  std::string SkelFileText() const override { return text; }
  void SetSkelFileText(const std::string& value) override { text = value; }
  std::vector<std::string> SkelFileItems() const override { return items; }
  void SetSkelFileItems(const std::vector<std::string>& value) override;
  void AddSkelFileItem(const std::string& item) override { items.push_back(item); }
  // Like the real box: deleting the selected entry leaves none selected (the
  // text stays), deleting one above it keeps the same entry selected.
  void DeleteSkelFileItem(int position) override;
  int SkelFileIndex() const override { return index; }
  // Like the real box: selecting an entry puts its text into the box.
  void SetSkelFileIndex(int position) override;

  bool ForgetChanges() const override { return forgetChanges; }

  void SetProgressRange(int minimum, int maximum) override;
  void SetProgressPosition(int position) override;
};

}  // namespace velmorin::test
