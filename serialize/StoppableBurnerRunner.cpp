#include "serialize/StoppableBurnerRunner.h"

#include <thread>

namespace velmorin {

BurnOutcome StoppableBurnerRunner::Run(const BurnRequest& request) {
  BurnOutcome outcome;
  if (FStop.load()) {
    outcome.Aborted = true;
    return outcome;
  }
  BurnWatch watch(request, ChildOutput::Inherit, FForward);
  if (!watch.Start()) return watch.Outcome();
  while (!watch.Step()) {
    if (FStop.load()) watch.Abort();
    if (!watch.ReadSome()) std::this_thread::sleep_for(kPollInterval);
  }
  return watch.Outcome();
}

}  // namespace velmorin
