// Runs the burner without a window, and stops it when asked: the runner of
// the command line, whose Ctrl-C must do what Abort does in the window. The
// owner raises a flag (from a signal handler, say); while the burner runs the
// flag is looked at every few milliseconds, and once it is up the burner and
// everything it started get SIGTERM, SIGKILL half a second later, and are all
// reaped before Run returns an aborted outcome. A flag already up when a burn
// would start keeps the burner from starting at all (also an abort).
// The burner's output goes to ours, or to /dev/null under "Hide".
//
// On Windows the burner runs in a job of its own (WatchedProcess.h): a
// stop ends the job's processes at once, and so does our own end, even an
// unannounced one.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "serialize/BurnerRunner.h"

namespace velmorin {

class StoppableBurnerRunner : public BurnerRunner {
 public:
  static constexpr std::chrono::milliseconds kPollInterval{10};

  // `stop` must outlive the runner; the runner only reads it.
  explicit StoppableBurnerRunner(const std::atomic<bool>& stop) : FStop(stop) {}

  BurnOutcome Run(const std::string& commandLine, WindowShow show,
                  const BurnContext& context) override;

 private:
  const std::atomic<bool>& FStop;
};

}  // namespace velmorin
