#include "platform/process/ProcessTreeStopper.h"

#include <csignal>
#include <thread>

namespace velmorin {

namespace {
#ifdef _WIN32
// WatchedProcess on Windows ends the burner's job whatever it is asked.
constexpr int kForceEnd = 0;
#else
constexpr int kForceEnd = SIGKILL;
#endif
}  // namespace

void ProcessTreeStopper::Begin() {
  if (FBegun || !FProcess.Started()) return;
  FBegun = true;
  FBegunAt = Clock::now();
#ifdef _WIN32
  FProcess.Stop(kForceEnd);
  FKillSent = true;
  FKilledAt = FBegunAt;
#else
  FProcess.Stop(SIGTERM);
  FProcess.Stop(SIGCONT);
#endif
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
  if (FKillSent) FProcess.Stop(kForceEnd);
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
