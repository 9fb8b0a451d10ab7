// The state of a WatchedProcess, as each system keeps it: the interface the
// two halves implement (WatchedProcessPosix.cpp, WatchedProcessWin.cpp),
// each with a MakeState of its own. WatchedProcess.cpp forwards to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/process/WatchedProcess.h"

namespace velmorin {

class WatchedProcess::State {
 public:
  virtual ~State() = default;
  virtual bool Start(const std::string& commandLine, ChildOutput output) = 0;
  virtual bool Started() const = 0;
  virtual bool Running() const = 0;
  virtual ProcessId Id() const = 0;
  virtual bool HasOutput() const = 0;
  virtual int OutputDescriptor() const = 0;
  virtual std::ptrdiff_t ReadOutput(char* buffer, std::size_t size) = 0;
  virtual void CloseOutput() = 0;
  virtual bool Poll() = 0;
  virtual std::uint32_t Result() const = 0;
  virtual bool AskToEnd() = 0;
  virtual bool ForceEnd() = 0;
  virtual bool AnyAlive() const = 0;
  virtual void Kill() = 0;
  virtual std::vector<ProcessId> Descendants() const = 0;
  // What WaitForAny waits on (POSIX descriptors; none on Windows).
  virtual std::vector<int> WaitDescriptors() const = 0;

  // This system's state for a burner whose tree `keeper` gathers.
  static std::unique_ptr<State> Make(TreeKeeper keeper);
};

}  // namespace velmorin
