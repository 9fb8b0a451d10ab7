// The system's table of processes, as the POSIX halves of the process unit
// read it to find a burner's tree: on Linux from /proc, elsewhere not at all
// (an empty table). POSIX only; WatchedProcess.h is the interface both
// systems have.
#pragma once

#include <sys/types.h>

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

// The processes of `processes` that still run and have `ancestor` on their
// chain of parents (`ancestor` itself not counted).
std::vector<pid_t> LiveDescendantsOf(const std::map<pid_t, ProcessEntry>& processes,
                                     pid_t ancestor);

}  // namespace velmorin
