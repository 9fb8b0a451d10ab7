// The Windows side of WatchedProcess: a burner started with CreateProcessA
// into a job object of its own, watched rather than waited for. The window
// keeps its event loop running, reads the burner's output from a pipe as it
// comes, asks now and then whether it has ended, and can end it together with
// everything it started: whatever the burner starts is in its job too, and
// leaves it only by ending (the job allows no breakaway). The job ends its
// processes when its last handle closes, so a burner's tree also ends when
// the program that watched it dies without a word.
//
// Windows has no gentle "please end" for an arbitrary program, so Stop ends
// the job's processes at once, whatever the signal it is given; the result
// of a stopped burner is kExecFailed.
#pragma once

#ifdef _WIN32

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ExecAndWait.h"

namespace velmorin {

// Where a started child's standard output and error go, and how it shows.
enum class ChildOutput {
  Inherit,  // as ExecAndWait with kShowNormal: nothing redirected, SW_SHOW
  Discard,  // as ExecAndWait with kShowHide: nothing redirected, SW_HIDE
  Pipe,     // one pipe that carries both, no console window of its own, SW_SHOW
};

class WatchedProcess {
 public:
  WatchedProcess() = default;
  // A child still running is ended with everything in its job: no burner
  // outlives the one who watches it.
  ~WatchedProcess();
  WatchedProcess(const WatchedProcess&) = delete;
  WatchedProcess& operator=(const WatchedProcess&) = delete;

  // Starts `commandLine` as ExecAndWait does (the program taken from the
  // line's first token, the caller's environment and folder), suspended until
  // it is in its job; false when it could not be started (then Result() is
  // kExecFailed). Only once per object.
  bool Start(const std::string& commandLine, ChildOutput output);

  bool Started() const { return FId >= 0; }
  // Started and not yet seen to have ended.
  bool Running() const { return FId >= 0 && !FEnded; }
  // The child's process id; -1 before Start.
  ProcessId Id() const { return FId; }
  // Whether an output pipe is open to be read.
  bool HasOutput() const { return FOutput != nullptr; }

  // Reads what the pipe holds now, without blocking: the byte count; 0 when
  // the output has ended (every writer has closed it; the pipe is closed
  // here then); -1 when nothing is waiting or there is no pipe.
  std::ptrdiff_t ReadOutput(char* buffer, std::size_t size);
  void CloseOutput();

  // Notes the child's end without blocking; true once it has ended. A burner
  // that ends by itself is judged by its own exit code, and what it leaves
  // running is left alone.
  bool Poll();
  // ExecAndWait's result: the exit code, kExecFailed before the end and
  // after a Stop.
  std::uint32_t Result() const { return FResult; }

  // Ends the burner and everything in its job; `signal` is not used (see
  // above). False when none remained.
  bool Stop(int signal = 0);
  // Whether the burner or anything in its job still runs.
  bool AnyAlive() const;
  // Stops everything and waits, for a bounded time, until it has gone.
  void Kill();

  // The ids of the processes in the burner's job that still run.
  std::vector<ProcessId> Descendants() const;

 private:
  void ReleaseJob();

  ProcessId FId = -1;
  void* FProcess = nullptr;  // HANDLE
  void* FJob = nullptr;      // HANDLE; null when the system refused one
  void* FOutput = nullptr;   // HANDLE of the pipe's read end
  bool FEnded = false;
  bool FStopped = false;
  std::uint32_t FResult = kExecFailed;
};

}  // namespace velmorin

#endif
