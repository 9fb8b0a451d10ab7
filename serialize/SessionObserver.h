// What a front end is told of a session's changes: those of the working
// profile (ProfileObserver), and the progress of a batch. The window
// implements it over its controls; the command line needs none.
#pragma once

#include "profiles/WorkingProfile.h"

namespace velmorin {

class SessionObserver : public ProfileObserver {
 public:
  // A batch of `maximum` images begins.
  virtual void ProgressRangeShown(int minimum, int maximum) = 0;
  // `position` images of it are done (0 again once all are).
  virtual void ProgressShown(int position) = 0;
};

}  // namespace velmorin
