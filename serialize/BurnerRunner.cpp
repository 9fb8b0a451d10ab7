#include "serialize/BurnerRunner.h"

#include <thread>

#include "serialize/BurnWatch.h"

namespace velmorin {

BurnOutcome ExecBurnerRunner::Run(const BurnRequest& request) {
  if (request.Plain()) {
    FStarted = false;
    BurnOutcome outcome;
    outcome.ExitCode = ExecAndWait(request.CommandLine, request.Show, this);
    outcome.Started = FStarted;
    return outcome;
  }
  BurnWatch watch(request, ChildOutput::Inherit, &BurnWatch::ToStandardStreams);
  if (!watch.Start()) return watch.Outcome();
  if (FObserver != nullptr) FObserver->Started(watch.BurnerId());
  while (!watch.Step()) {
    if (!watch.ReadSome()) std::this_thread::sleep_for(kPollInterval);
  }
  const BurnOutcome outcome = watch.Outcome();
  if (FObserver != nullptr) FObserver->Finished(outcome.ExitCode);
  return outcome;
}

}  // namespace velmorin
