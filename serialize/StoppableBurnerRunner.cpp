#include "serialize/StoppableBurnerRunner.h"

#include "platform/process/StoppableExec.h"

namespace velmorin {

BurnOutcome StoppableBurnerRunner::Run(const std::string& commandLine, WindowShow show,
                                       const BurnContext& /*context*/) {
  const StoppableExecResult result = ExecUnlessStopped(commandLine, show, FStop, kPollInterval);
  BurnOutcome outcome;
  outcome.Started = result.Started;
  outcome.Aborted = result.Stopped;
  if (!result.Stopped) outcome.ExitCode = result.ExitCode;
  return outcome;
}

}  // namespace velmorin
