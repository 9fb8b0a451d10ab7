// Runs the burner: starts a program from a command line, waits for it to end
// and gives its exit code. It is the program's only use of process creation.
//
// POSIX: the line is split by SplitCommandLine (never by a shell); a program
// name without "/" is looked up in the absolute folders of PATH only, never in
// the current folder. The child gets no descriptor of ours but standard input,
// output and error, runs in a process group of its own (so that it can be
// stopped together with its children), and is always reaped.
// Windows: CreateProcessA with the show-window value, then the waits.
// ExecAndWaitPosix.cpp and ExecAndWaitWin.cpp are the two halves.
#pragma once

#include <cstdint>
#include <string>

namespace velmorin {

// How the burner's window shows: normally, or hidden (POSIX: its standard
// output and error go to /dev/null; Windows: SW_HIDE).
enum class WindowShow { Normal, Hidden };

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

// Starts `commandLine` shown as `show`,
// waits without a time limit for it to end and gives its exit code, or
// kExecFailed. Raises nothing of its own; should the observer raise, the
// error passes on once the child has been reaped.
std::uint32_t ExecAndWait(const std::string& commandLine, WindowShow show,
                          ProcessObserver* observer = nullptr);

}  // namespace velmorin
