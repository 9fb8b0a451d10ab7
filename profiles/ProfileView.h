// What the core sees of the main window: the working copy of the current
// profile, the skeleton-file box, "Forget changes" and the progress bar. The
// window implements it over its controls; tests implement it with a plain
// struct. Values are read when an operation runs, never cached.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "profiles/ProfileSettings.h"

namespace velmorin {

class ProfileView {
 public:
  virtual ~ProfileView() = default;

  // All seventeen values at once.
  virtual ProfileSettings Settings() const = 0;
  virtual void SetSettings(const ProfileSettings& settings) = 0;

  // The "Next SN" field alone.
  virtual std::int32_t NextSeqNum() const = 0;
  virtual void SetNextSeqNum(std::int32_t value) = 0;

  // The skeleton-file box: its text, its list and the selected entry.
  virtual std::string SkelFileText() const = 0;
  virtual void SetSkelFileText(const std::string& text) = 0;
  virtual std::vector<std::string> SkelFileItems() const = 0;
  virtual void SetSkelFileItems(const std::vector<std::string>& items) = 0;
  virtual void AddSkelFileItem(const std::string& item) = 0;
  virtual void DeleteSkelFileItem(int index) = 0;
  virtual int SkelFileIndex() const = 0;
  // Selects entry `index` and puts its text into the box; an index of -1 or
  // outside the list leaves no entry selected.
  virtual void SetSkelFileIndex(int index) = 0;

  virtual bool ForgetChanges() const = 0;

  virtual void SetProgressRange(int minimum, int maximum) = 0;
  virtual void SetProgressPosition(int position) = 0;
};

}  // namespace velmorin
