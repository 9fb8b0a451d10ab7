// One burn under watch, one step at a time: what every runner of the burner
// does while it runs, whatever it waits with. The window steps it from its
// timers, the command line from a loop, and a runner of several burners at
// once can step one BurnWatch per burner from a single loop, since no call
// blocks.
//
// Each step reads what the burner's pipes hold (a bounded amount, so that a
// flood still lets the caller's loop breathe), feeds it to the judge of the
// profile's patterns and forwards it unless "Hide" is checked, notes the
// burner's end, and stops the burner with everything it started once its
// time limit is up, exactly as Abort stops it (ProcessTreeStopper: SIGTERM,
// SIGKILL half a second later, and on Linux what it detached comes back to
// us; on Windows its job is ended at once). Once the burner has ended and
// been reaped, what its pipes still hold is read without waiting (a child it
// left behind may keep them open) and the judge is told the output ended.
//
// How the burner's output goes:
// - a request with a judge: two pipes, standard output's and standard
//   error's, each split into lines on its own; shown, or hidden under "Hide"
//   (Windows' show value; the output is read and judged all the same and
//   forwarded to nobody);
// - a plain request, or one with only a time limit, exactly as the runner
//   ran it before judges existed: nowhere under "Hide" (POSIX /dev/null,
//   Windows SW_HIDE), else the runner's own way (`shown`: inherited on the
//   command line, one pipe for both streams in the window's box).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/process/ProcessTreeStopper.h"
#include "platform/process/WatchedProcess.h"
#include "serialize/BurnerRunner.h"

namespace velmorin {

class BurnWatch {
 public:
  using Clock = std::chrono::steady_clock;
  // Where what the burner writes goes besides the judge: the box, the
  // terminal. Never called for a hidden burner.
  using Forward = std::function<void(ChildStream stream, std::string_view bytes)>;

  // Read from each pipe per step, so that a flood still lets the loop breathe.
  static constexpr std::size_t kReadChunk = 64 * 1024;
  static constexpr int kReadsPerStep = 4;
  // Read from each pipe after the burner has ended; a child it left behind
  // may go on writing.
  static constexpr std::size_t kMaxDrain = 4 * 1024 * 1024;

  // The request's judge, when it has one, must outlive the watch. `keeper`
  // gathers what the burner detaches: this program for one burner at a time,
  // a reaper of its own for each of several at once.
  BurnWatch(const BurnRequest& request, ChildOutput shown, Forward forward = {},
            TreeKeeper keeper = TreeKeeper::ThisProgram);
  BurnWatch(const BurnWatch&) = delete;
  BurnWatch& operator=(const BurnWatch&) = delete;

  // Starts the burner; false when it could not be started (the burn is then
  // finished, not started). Only once.
  bool Start();
  // One step, without blocking (see above); true once the burn is over: the
  // burner ended by itself, or the stop sequence is done and nothing of its
  // tree runs. Harmless after that.
  bool Step();
  // Reads what the pipes hold now, as a step does first: for a loop that
  // waits on OutputDescriptor and wants the output as it comes.
  void ReadOutput();
  // The operator's Abort (or Ctrl-C): begins the stop sequence, which the
  // steps carry on. Nothing when the burn is over or already being stopped.
  void Abort();

  bool Started() const { return FProcess.Started(); }
  bool Finished() const { return FFinished; }
  // The stop sequence has begun (Abort, or the time limit).
  bool Stopping() const { return FStopper.Begun(); }
  bool Aborted() const { return FAborted; }
  bool TimedOut() const { return FTimedOut; }
  // Whether the last step (or ReadOutput) found output: more may be waiting,
  // so a loop that sleeps between steps had better not sleep now.
  bool ReadSome() const { return FReadSome; }

  // A pipe's read end to wait on for output (POSIX), -1 when there is none
  // to wait on (no such pipe, or Windows, whose pipes are read at each step).
  int OutputDescriptor(ChildStream stream) const;
  // When the time limit runs out; nothing without one, or before Start.
  std::optional<Clock::time_point> Deadline() const { return FDeadline; }
  ProcessId BurnerId() const { return FProcess.Id(); }
  // The burner's process, for a loop that waits on several
  // (WatchedProcess::WaitForAny).
  const WatchedProcess& Process() const { return FProcess; }

  // What became of the burn; meaningful once Finished.
  BurnOutcome Outcome() const;

  // A Forward that writes each stream to ours, as a burner that inherits
  // them would write there.
  static void ToStandardStreams(ChildStream stream, std::string_view bytes);

 private:
  void Deliver(ChildStream stream, std::string_view bytes);
  void Finish();

  BurnRequest FRequest;
  ChildOutput FShown;
  Forward FForward;
  WatchedProcess FProcess;
  ProcessTreeStopper FStopper{FProcess};
  std::optional<Clock::time_point> FDeadline;
  bool FFinished = false;
  bool FAborted = false;
  bool FTimedOut = false;
  bool FReadSome = false;
};

}  // namespace velmorin
