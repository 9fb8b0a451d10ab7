#include "serialize/StoppableBurnerRunner.h"

#include <thread>

#ifndef _WIN32
#include "platform/process/ProcessTreeStopper.h"
#include "platform/process/WatchedProcess.h"
#endif

namespace velmorin {

BurnOutcome StoppableBurnerRunner::Run(const std::string& commandLine, int show,
                                       const BurnContext& context) {
  BurnOutcome outcome;
  if (FStop.load()) {
    outcome.Aborted = true;
    return outcome;
  }
#ifdef _WIN32
  ExecBurnerRunner runner;
  return runner.Run(commandLine, show, context);
#else
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
#endif
}

}  // namespace velmorin
