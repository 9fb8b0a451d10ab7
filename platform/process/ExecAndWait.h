// Runs the burner: starts a program from a command line, waits for it to end
// and gives its exit code. It is the program's only use of process creation.
//
// POSIX: the line is split by SplitCommandLine (never by a shell); a program
// name without "/" is looked up in the absolute folders of PATH only, never in
// the current folder. The child gets no descriptor of ours but standard input,
// output and error, runs in a process group of its own (so that it can be
// stopped together with its children), and is always reaped.
// Windows: CreateProcessA with the show-window value, then the waits.
#pragma once

#include <cstdint>
#include <string>

namespace velmorin {

// Window visibility handed to the burner (the platform's show-window codes).
inline constexpr int kShowHide = 0;  // POSIX: standard output and error go to /dev/null
inline constexpr int kShowNormal = 5;

// The result for a program that could not be started, waited for, or whose
// exit code could not be read; also the result of a death by a signal.
inline constexpr std::uint32_t kExecFailed = 0xFFFFFFFF;

// The process id on POSIX (also the id of its process group), the process id
// on Windows.
using ProcessId = std::int64_t;

// Lets a caller watch the burner while ExecAndWait blocks, for instance to
// offer a way to stop it. Both calls come on the thread that runs ExecAndWait.
class ProcessObserver {
 public:
  virtual ~ProcessObserver() = default;
  // The child is running; on POSIX `id` also names its process group.
  virtual void Started(ProcessId id) = 0;
  // The child has ended (and been reaped) with `result`.
  virtual void Finished(std::uint32_t result) = 0;
};

// Starts `commandLine` with visibility `show` (kShowHide or kShowNormal),
// waits without a time limit for it to end and gives its exit code, or
// kExecFailed. Raises nothing of its own; should the observer raise, the
// error passes on once the child has been reaped.
std::uint32_t ExecAndWait(const std::string& commandLine, int show,
                          ProcessObserver* observer = nullptr);

#ifndef _WIN32
// Where a started child's standard output and error go.
enum class ChildOutput {
  Inherit,  // ours (ExecAndWait with kShowNormal)
  Discard,  // /dev/null (ExecAndWait with kShowHide)
  Pipe,     // one pipe that carries both, for the caller to read
};

// Starts `commandLine` by exactly the rules of ExecAndWait (our splitter, PATH
// lookup, no descriptor but 0 to 2, a process group of its own) and returns at
// once with the child's id, also the id of its process group; -1 when it could
// not be started. With ChildOutput::Pipe `outputFd` receives the pipe's read
// end (non-blocking, close-on-exec), otherwise -1. The caller must reap the
// child and close `outputFd`; WatchedProcess does both. POSIX only.
ProcessId SpawnProcess(const std::string& commandLine, ChildOutput output, int& outputFd);

// ExecAndWait's result for a wait status: the exit code, or kExecFailed for a
// death by a signal. POSIX only.
std::uint32_t ResultOfWaitStatus(int status);

// The full path ExecAndWait would run for `program`: `program` itself when it
// holds a "/", else the first executable regular file of that name in an
// absolute PATH folder (empty or relative PATH entries are skipped); empty
// when there is none. POSIX only.
std::string FindProgram(const std::string& program);
#endif

}  // namespace velmorin
