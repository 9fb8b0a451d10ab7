// A burner started to be watched rather than waited for: the window keeps its
// event loop running, reads the burner's output as it comes, asks now and then
// whether it has ended, and can stop it with everything it started. One
// interface on both systems; WatchedProcessPosix.cpp and WatchedProcessWin.cpp
// are its halves.
//
// POSIX: on Linux the program is a child subreaper from Start until the
// burner has ended (or, after a stop, until everything it started has gone):
// whatever the burner detaches, into a new session or process group, comes
// back to us as an orphan instead of going to init, so that a stop can find
// it and its end is reaped here. Children of ours that ran before Start are
// none of its business; the program starts no other child while a burner runs.
//
// Several burners at once (POSIX): the subreaper flag is the whole program's,
// so the orphans of two trees that come back to it could not be told apart.
// A burner watched with TreeKeeper::OwnReaper is started behind a reaper of
// its own instead: a small fork of this program that starts the burner, is
// the subreaper of the burner's tree and of nothing else, reaps it, and tells
// us how the burner ended. A stop asks the reaper, which stops its tree as
// ProcessTreeStopper does and ends only once the tree has gone; what we see
// of the burner's end is the reaper's end. The reaper also stops its tree
// when this program dies without a word (Linux: the parent's death signal),
// as a job object does on Windows. Its fork happens in a program that runs
// one thread (the command line).
//
// Windows: the burner runs in a job object of its own, started suspended
// until it is in its job; whatever it starts is in its job too, and leaves it
// only by ending (the job allows no breakaway). The job ends its processes
// when its last handle closes, so a burner's tree also ends when the program
// that watched it dies without a word. Windows has no gentle "please
// end" for an arbitrary program, so AskToEnd ends the job's processes at once
// (AsksGently says so); the result of a stopped burner is kExecFailed.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/process/ExecAndWait.h"

namespace velmorin {

// Where a started child's standard output and error go, and how it shows.
enum class ChildOutput {
  Inherit,  // ours, as ExecAndWait shows a burner (Windows: SW_SHOW)
  Discard,  // nowhere, as ExecAndWait hides a burner (POSIX: /dev/null; Windows: SW_HIDE)
  Pipe,     // one pipe that carries both, for the caller to read (Windows: no console window)
};

// Who gathers what a burner detaches (see above); Windows keeps each
// burner's tree in its own job either way.
enum class TreeKeeper {
  ThisProgram,  // this program as the subreaper: one burner at a time
  OwnReaper,    // a reaper of the burner's own: several at once, each tree apart
};

class WatchedProcess {
 public:
  explicit WatchedProcess(TreeKeeper keeper = TreeKeeper::ThisProgram);
  // A child still running is ended with everything it started: no burner
  // outlives the one who watches it.
  ~WatchedProcess();
  WatchedProcess(const WatchedProcess&) = delete;
  WatchedProcess& operator=(const WatchedProcess&) = delete;

  // Starts `commandLine` by the rules of ExecAndWait; false when it could not
  // be started (then Result() is kExecFailed). Only once per object.
  bool Start(const std::string& commandLine, ChildOutput output);

  bool Started() const;
  // Started and not yet seen to have ended (POSIX: reaped).
  bool Running() const;
  // The child's process id (POSIX: also its process group's); -1 before Start.
  ProcessId Id() const;

  // Whether an output pipe is open to be read.
  bool HasOutput() const;
  // A descriptor an event loop can wait on for output: the pipe's read end
  // on POSIX (non-blocking), -1 when there is none to wait on (no pipe, and
  // on Windows, whose pipe is read at each poll instead).
  int OutputDescriptor() const;
  // Reads what the pipe holds now, without blocking: the byte count; 0 when
  // the output has ended (every writer has closed it; the pipe is closed
  // here then); -1 when nothing is waiting or there is no pipe.
  std::ptrdiff_t ReadOutput(char* buffer, std::size_t size);
  void CloseOutput();

  // Notes the child's end without blocking (POSIX: reaps it, and any orphan
  // of its tree that came back to us and has ended); true once it has ended.
  // A burner that ends by itself is judged by its own exit code, and what it
  // leaves running is left alone.
  bool Poll();
  // ExecAndWait's result: the exit code, kExecFailed for a death by a signal,
  // before the end and after a stop.
  std::uint32_t Result() const;

  // Whether AskToEnd is a request the burner may answer (POSIX) or ends it at
  // once like ForceEnd (Windows).
  static bool AsksGently();
  // Asks the burner and everything it started to end (POSIX: SIGTERM, and
  // SIGCONT so that a stopped process sees it). Works after the child ended
  // too. False when none remained.
  bool AskToEnd();
  // Ends the burner and everything it started at once (POSIX: SIGKILL).
  bool ForceEnd();
  // Whether the burner or anything a stop would reach still runs. A process
  // that has ended and only awaits reaping does not count (on Linux).
  bool AnyAlive() const;
  // Ends everything and waits, for a bounded time, until it has gone (POSIX:
  // reaps the child and the orphans that come back to us): the last resort.
  void Kill();

  // The processes a stop reaches that still run (Linux and Windows; elsewhere empty).
  std::vector<ProcessId> Descendants() const;

  // Waits up to `timeout` until one of `processes` has output to read or
  // news of its end (POSIX; a signal cuts the wait short), or for `timeout`
  // (Windows, whose pipes are read at each poll). The loop that drives
  // several burners waits here between two polls.
  static void WaitForAny(const std::vector<const WatchedProcess*>& processes,
                         std::chrono::milliseconds timeout);

  // What each system keeps of the burner (WatchedProcessState.h); its halves
  // implement it.
  class State;

 private:
  std::unique_ptr<State> FState;
};

}  // namespace velmorin
