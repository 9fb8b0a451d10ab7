// A window for tests of the core: the plain in-memory view, plus a record of
// what the core did to the progress bar and how often it wrote a whole profile.
#pragma once

#include <vector>

#include "profiles/MemoryProfileView.h"

namespace velmorin::test {

class FakeView : public MemoryProfileView {
 public:
  // Every position the core gave the progress bar, in order.
  std::vector<int> progressPositions;
  // How often the core put a whole profile into the window.
  int settingsWrites = 0;

  void SetSettings(const ProfileSettings& value) override {
    MemoryProfileView::SetSettings(value);
    ++settingsWrites;
  }
  void SetProgressPosition(int position) override {
    MemoryProfileView::SetProgressPosition(position);
    progressPositions.push_back(position);
  }
};

}  // namespace velmorin::test
