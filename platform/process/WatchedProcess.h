// A burner started to be watched rather than waited for: the window keeps its
// event loop running, reads the burner's output as it comes, asks now and then
// whether it has ended, and can stop it with everything it started. This is
// the POSIX side; the Windows one is in WatchedProcessWin.h.
//
// On Linux the program is a child subreaper from Start until the burner has
// ended (or, after Stop, until everything it started has gone): whatever the
// burner detaches, into a new session or process group, comes back to us as
// an orphan instead of going to init, so that Stop can find it and its end is
// reaped here. Children of ours that ran before Start are none of its
// business; the program starts no other child while a burner runs.
#pragma once

#ifndef _WIN32

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/process/ExecAndWait.h"

namespace velmorin {

class WatchedProcess {
 public:
  WatchedProcess() = default;
  // A child still running is killed with everything it started and reaped:
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

  // Reaps the child if it has ended, and any orphan of its tree that came
  // back to us and has ended, without blocking; true once the child is
  // reaped. A burner that ends by itself is judged by its own exit code, and
  // what it leaves running is left alone.
  bool Poll();
  // ExecAndWait's result: the exit code, kExecFailed for a death by a signal
  // (and before the child is reaped).
  std::uint32_t Result() const { return FResult; }

  // Sends `signal` to the burner and everything it started: its process
  // group, and on Linux every process whose parent chain leads to the
  // burner or to us through an orphan of its tree, in whatever session or
  // group. Works after the child was reaped too. False when none remained.
  bool Stop(int signal);
  // Whether the burner or anything Stop would reach still runs. A process
  // that has ended and only awaits reaping does not count (on Linux).
  bool AnyAlive() const;
  // Kills everything Stop reaches and reaps the child and the orphans that
  // come back to us: the last resort.
  void Kill();

  // The processes Stop reaches that still run (Linux; elsewhere empty).
  std::vector<ProcessId> Descendants() const;

 private:
  bool GroupAlive() const;
  void ReapChild(bool block);
  void ReapOrphans();
  void ReleaseSubreaper();

  ProcessId FId = -1;
  int FOutputFd = -1;
  bool FReaped = false;
  bool FStopping = false;
  bool FSubreaper = false;       // we turned the flag on and must turn it off
  std::set<ProcessId> FForeign;  // our children from before Start
  std::uint32_t FResult = kExecFailed;
};

}  // namespace velmorin

#else
#include "platform/process/WatchedProcessWin.h"
#endif
