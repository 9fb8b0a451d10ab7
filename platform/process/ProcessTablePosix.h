// The system's table of processes, as the POSIX halves of the process unit
// read it to find a burner's tree: on Linux from /proc, elsewhere not at all
// (an empty table). POSIX only; WatchedProcess.h is the interface both
// systems have.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <vector>

namespace velmorin {

struct ProcessEntry {
  pid_t Parent = 0;
  pid_t Group = 0;
  char State = 0;  // as /proc/PID/stat gives it: 'Z' and 'X' have ended
};

// Every process the system lists, by id (empty where there is no /proc).
std::map<pid_t, ProcessEntry> ListProcesses();

// Whether a process in `state` has ended and only awaits reaping.
bool ProcessEnded(char state);

// The processes of `processes` that still run and whose chain of parents
// (the process itself included) reaches one for which `isRoot` holds before
// it reaches one for which `isOutside` holds, init, or a process the table
// lacks. Each chain is walked once, whatever the table's size.
std::vector<pid_t> LiveProcessesBelow(const std::map<pid_t, ProcessEntry>& processes,
                                      const std::function<bool(pid_t, const ProcessEntry&)>& isRoot,
                                      const std::function<bool(pid_t)>& isOutside);

// The processes of `processes` that still run and have `ancestor` on their
// chain of parents (`ancestor` itself not counted).
std::vector<pid_t> LiveDescendantsOf(const std::map<pid_t, ProcessEntry>& processes,
                                     pid_t ancestor);

}  // namespace velmorin
