// A burner started to be watched rather than waited for: the window keeps its
// event loop running, reads the burner's output as it comes, asks now and then
// whether it has ended, and can stop it with everything it started. POSIX only.
#pragma once

#ifndef _WIN32

#include <cstddef>
#include <cstdint>
#include <string>

#include "ExecAndWait.h"

namespace velmorin {

class WatchedProcess {
 public:
  WatchedProcess() = default;
  // A child still running is killed with its whole process group and reaped:
  // no burner outlives the one who watches it.
  ~WatchedProcess();
  WatchedProcess(const WatchedProcess&) = delete;
  WatchedProcess& operator=(const WatchedProcess&) = delete;

  // Starts `commandLine` as SpawnProcess does; false when it could not be
  // started (then Result() is kExecFailed). Only once per object.
  bool Start(const std::string& commandLine, ChildOutput output);

  bool Started() const { return FId >= 0; }
  // Started and not yet reaped.
  bool Running() const { return FId >= 0 && !FReaped; }
  // The child's id, also the id of its process group; -1 before Start.
  ProcessId Id() const { return FId; }
  // The read end of the output pipe (non-blocking), or -1 when there is none
  // (other output modes, or closed).
  int OutputFd() const { return FOutputFd; }

  // Reads what the pipe holds now, without blocking: the byte count; 0 when
  // the output has ended (every writer has closed it; the pipe is closed
  // here then); -1 when nothing is waiting or there is no pipe.
  std::ptrdiff_t ReadOutput(char* buffer, std::size_t size);
  void CloseOutput();

  // Reaps the child if it has ended, without blocking; true once it has.
  bool Poll();
  // ExecAndWait's result: the exit code, kExecFailed for a death by a signal
  // (and before the child is reaped).
  std::uint32_t Result() const { return FResult; }

  // Sends `signal` to the child's process group: the burner and everything it
  // started that stayed in its group. Works after the child was reaped too,
  // while members of the group remain. False when none remains.
  bool SignalGroup(int signal);
  // Whether any member of the group still runs. On Linux a member that has
  // ended and only awaits its parent does not count; elsewhere it does.
  bool GroupAlive() const;
  // Kills the group and waits for the child: the last resort.
  void Kill();

 private:
  ProcessId FId = -1;
  int FOutputFd = -1;
  bool FReaped = false;
  std::uint32_t FResult = kExecFailed;
};

}  // namespace velmorin

#endif
