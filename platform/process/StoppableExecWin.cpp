#include "platform/process/StoppableExec.h"

namespace velmorin {

namespace {
class StartSeen : public ProcessObserver {
 public:
  bool started = false;
  void Started(ProcessId) override { started = true; }
  void Finished(std::uint32_t) override {}
};
}  // namespace

StoppableExecResult ExecUnlessStopped(const std::string& commandLine, WindowShow show,
                                      const std::atomic<bool>& stop,
                                      std::chrono::milliseconds /*poll*/) {
  StoppableExecResult result;
  if (stop.load()) {
    result.Stopped = true;
    return result;
  }
  StartSeen seen;
  result.ExitCode = ExecAndWait(commandLine, show, &seen);
  result.Started = seen.started;
  return result;
}

}  // namespace velmorin
