#include "platform/process/ProcessTreeStopper.h"

#include <thread>

namespace velmorin {

void ProcessTreeStopper::Begin() {
  if (FBegun || !FProcess.Started()) return;
  FBegun = true;
  FBegunAt = Clock::now();
  if (WatchedProcess::AsksGently()) {
    FProcess.AskToEnd();
  } else {
    // No request to wait on: the burner's tree is ended at once.
    FProcess.ForceEnd();
    FKillSent = true;
    FKilledAt = FBegunAt;
  }
}

bool ProcessTreeStopper::Advance() {
  if (!FBegun) return false;
  if (FDone) return true;
  const bool reaped = FProcess.Poll();
  const Clock::time_point now = Clock::now();
  if (!FKillSent && now - FBegunAt >= kGrace) {
    FKillSent = true;
    FKilledAt = now;
  }
  if (FKillSent) FProcess.ForceEnd();
  if (reaped && !FProcess.AnyAlive()) {
    FDone = true;
  } else if (FKillSent && now - FKilledAt > kKillTimeout) {
    FProcess.Kill();
    FDone = true;
  }
  return FDone;
}

void ProcessTreeStopper::Run() {
  Begin();
  if (!FBegun) return;
  while (!Advance()) std::this_thread::sleep_for(kRunStep);
}

}  // namespace velmorin
