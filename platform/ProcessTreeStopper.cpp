#ifndef _WIN32

#include "ProcessTreeStopper.h"

#include <csignal>
#include <thread>

namespace velmorin {

void ProcessTreeStopper::Begin() {
  if (FBegun || !FProcess.Started()) return;
  FBegun = true;
  FBegunAt = Clock::now();
  FProcess.Stop(SIGTERM);
  FProcess.Stop(SIGCONT);
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
  if (FKillSent) FProcess.Stop(SIGKILL);
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

#endif
