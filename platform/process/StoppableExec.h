// Runs a burner without a window, and stops it when asked: the runner of the
// command line, whose Ctrl-C must do what Abort does in the window. The owner
// raises a flag (from a signal handler, say).
//
// POSIX: while the burner runs the flag is looked at every `poll`, and once
// it is up the burner and everything it started get SIGTERM, SIGKILL half a
// second later (ProcessTreeStopper), and are all reaped before this returns.
// Windows: the burner runs as ExecAndWait runs it, and the flag is looked at
// only before it starts (StoppableExecPosix.cpp and StoppableExecWin.cpp).
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
