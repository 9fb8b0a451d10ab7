#include "StoppableBurnerRunner.h"

#include <thread>

#include "ProcessTreeStopper.h"
#include "WatchedProcess.h"

namespace velmorin {

BurnOutcome StoppableBurnerRunner::Run(const std::string& commandLine, int show,
                                       const BurnContext& context) {
  BurnOutcome outcome;
  if (FStop.load()) {
    outcome.Aborted = true;
    return outcome;
  }
  (void)context;
  WatchedProcess process;
  if (!process.Start(commandLine,
                     show == kShowHide ? ChildOutput::Discard : ChildOutput::Inherit)) {
    return outcome;
  }
  outcome.Started = true;
  while (!process.Poll()) {
    if (FStop.load()) {
      ProcessTreeStopper(process).Run();
      // Whatever the burner made of its signal, the chip is not done.
      outcome.Aborted = true;
      return outcome;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  outcome.ExitCode = process.Result();
  return outcome;
}

}  // namespace velmorin
