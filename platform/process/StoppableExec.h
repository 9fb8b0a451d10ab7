// Runs a burner without a window, and stops it when asked: the runner of the
// command line, whose Ctrl-C must do what Abort does in the window. The owner
// raises a flag (from a signal handler, say).
//
// While the burner runs the flag is looked at every `poll`, and once it is
// up the burner and everything it started are stopped as ProcessTreeStopper
// stops them (POSIX: SIGTERM, SIGKILL half a second later; Windows: its job
// ended at once), and all has gone before this returns.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "platform/process/ExecAndWait.h"

namespace velmorin {

struct StoppableExecResult {
  std::uint32_t ExitCode = kExecFailed;
  bool Started = false;
  bool Stopped = false;  // the flag ended the burner (or kept it from starting)
};

// A flag already up keeps the burner from starting at all (Stopped).
StoppableExecResult ExecUnlessStopped(const std::string& commandLine, WindowShow show,
                                      const std::atomic<bool>& stop,
                                      std::chrono::milliseconds poll);

}  // namespace velmorin
