// How a burner is stopped when the operator wants out (Abort in the window,
// Ctrl-C on the command line): SIGTERM to the burner and everything it
// started, so that a well-behaved programmer can leave the chip in a sane
// state; SIGKILL to whatever still runs half a second later; and nothing
// counts as stopped until the burner is reaped and no process of its tree
// runs. WatchedProcess finds the tree (on Linux we are its subreaper while it
// runs, so what it detaches comes back to us) and does the reaping; this
// class only keeps the time. Windows has no gentle request for an arbitrary
// program: there Begin ends the burner's job at once, and the rest is the
// same waiting until all is gone.
//
// It works both inside an event loop (Begin once, then Advance from a timer
// until it says done) and on its own (Run blocks until the end).
#pragma once

#include <chrono>

#include "platform/process/WatchedProcess.h"

namespace velmorin {

class ProcessTreeStopper {
 public:
  using Clock = std::chrono::steady_clock;
  // How long the tree has to end after SIGTERM before it is killed.
  static constexpr std::chrono::milliseconds kGrace{500};
  // How long after SIGKILL the last resort (WatchedProcess::Kill, which
  // blocks) takes over; a process stuck in the kernel can outlive SIGKILL.
  static constexpr std::chrono::milliseconds kKillTimeout{2000};
  // Run's pause between two steps.
  static constexpr std::chrono::milliseconds kRunStep{10};

  // `process` must outlive the stopper.
  explicit ProcessTreeStopper(WatchedProcess& process) : FProcess(process) {}

  // Sends SIGTERM (and SIGCONT, since a stopped process would not see the
  // SIGTERM until continued) to the tree and starts the grace. Only the first
  // call does anything; nothing happens for a process that was never started.
  void Begin();
  bool Begun() const { return FBegun; }
  // One step, without blocking: reaps what has ended; once the grace is over,
  // SIGKILL to whatever of the tree still runs (again at every step, for a
  // fork that was on its way). True once the burner is reaped and nothing of
  // its tree runs, and from then on; false before Begin.
  bool Advance();
  // Begin if not yet, then Advance until done.
  void Run();
  // Whether SIGKILL has gone out.
  bool KillSent() const { return FKillSent; }

 private:
  WatchedProcess& FProcess;
  bool FBegun = false;
  bool FKillSent = false;
  bool FDone = false;
  Clock::time_point FBegunAt;
  Clock::time_point FKilledAt;
};

}  // namespace velmorin
