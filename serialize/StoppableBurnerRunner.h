// Runs the burner without a window, and stops it when asked: the runner of
// the command line, whose Ctrl-C must do what Abort does in the window. The
// owner raises a flag (from a signal handler, say); while the burner runs the
// flag is looked at every few milliseconds, and once it is up the burner and
// everything it started get SIGTERM, SIGKILL half a second later, and are all
// reaped before Run returns an aborted outcome. A flag already up when a burn
// would start keeps the burner from starting at all (also an abort).
// The burner's output goes to ours, or to /dev/null under "Hide"; with a
// judge it comes through pipes, is judged, and is passed on to ours unless
// "Hide" is checked. The time limit stops it as the flag does (BurnWatch).
//
// On Windows the burner runs in a job of its own (WatchedProcess.h): a
// stop ends the job's processes at once, and so does our own end, even an
// unannounced one.
#pragma once

#include <atomic>
#include <chrono>

#include "serialize/BurnWatch.h"
#include "serialize/BurnerRunner.h"

namespace velmorin {

class StoppableBurnerRunner : public BurnerRunner {
 public:
  static constexpr std::chrono::milliseconds kPollInterval{10};

  // `stop` must outlive the runner; the runner only reads it. `forward`
  // takes what a judged burner writes, unless "Hide" is checked (by
  // default: our standard output and error).
  explicit StoppableBurnerRunner(const std::atomic<bool>& stop,
                                 BurnWatch::Forward forward = &BurnWatch::ToStandardStreams)
      : FStop(stop), FForward(std::move(forward)) {}

  BurnOutcome Run(const BurnRequest& request) override;

 private:
  const std::atomic<bool>& FStop;
  BurnWatch::Forward FForward;
};

}  // namespace velmorin
