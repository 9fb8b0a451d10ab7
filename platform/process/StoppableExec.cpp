#include "platform/process/StoppableExec.h"

#include <thread>

#include "platform/process/ProcessTreeStopper.h"
#include "platform/process/WatchedProcess.h"

namespace velmorin {

StoppableExecResult ExecUnlessStopped(const std::string& commandLine, WindowShow show,
                                      const std::atomic<bool>& stop,
                                      std::chrono::milliseconds poll) {
  StoppableExecResult result;
  if (stop.load()) {
    result.Stopped = true;
    return result;
  }
  WatchedProcess process;
  if (!process.Start(commandLine,
                     show == WindowShow::Hidden ? ChildOutput::Discard : ChildOutput::Inherit)) {
    return result;
  }
  result.Started = true;
  while (!process.Poll()) {
    if (stop.load()) {
      ProcessTreeStopper(process).Run();
      // Whatever the burner made of its signal, it was stopped.
      result.Stopped = true;
      return result;
    }
    std::this_thread::sleep_for(poll);
  }
  result.ExitCode = process.Result();
  return result;
}

}  // namespace velmorin
