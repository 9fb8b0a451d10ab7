// An observer for tests of the core: records what the session told a front
// end, as a window would show it: the progress bar's positions and how often
// a whole profile was shown.
#pragma once

#include <vector>

#include "serialize/SessionObserver.h"

namespace velmorin::test {

class RecordingObserver : public SessionObserver {
 public:
  // Every position the core gave the progress bar, in order.
  std::vector<int> progressPositions;
  int progressMinimum = 0;
  int progressMaximum = 100;
  int progressPosition = 0;
  // How often the core showed a whole profile.
  int settingsShown = 0;

  void ProfileShown(const ProfileSettings&) override { ++settingsShown; }
  void NextSeqNumShown(std::int32_t) override {}
  void SkeletonBoxShown(const std::vector<std::string>&, int, const std::string&) override {}
  void ProgressRangeShown(int minimum, int maximum) override {
    progressMinimum = minimum;
    progressMaximum = maximum;
  }
  void ProgressShown(int position) override {
    progressPosition = position;
    progressPositions.push_back(position);
  }
};

}  // namespace velmorin::test
