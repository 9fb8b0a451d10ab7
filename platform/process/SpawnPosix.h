// What the POSIX halves of the process unit share: starting a child by our
// rules, reading its end, and the program lookup. POSIX only; ExecAndWait.h
// and WatchedProcess.h are the interfaces both systems have.
#pragma once

#include <cstddef>
#include <string>

#include "platform/process/ExecAndWait.h"
#include "platform/process/WatchedProcess.h"

namespace velmorin {

// Starts `commandLine` by exactly the rules of ExecAndWait (our splitter, PATH
// lookup, no descriptor but 0 to 2, a process group of its own) and returns at
// once with the child's id, also the id of its process group; -1 when it could
// not be started. With ChildOutput::Pipe `outputFd` receives the pipe's read
// end (non-blocking, close-on-exec), otherwise -1. The caller must reap the
// child and close `outputFd`; WatchedProcess does both.
ProcessId SpawnProcess(const std::string& commandLine, ChildOutput output, int& outputFd);

// ExecAndWait's result for a wait status: the exit code, or kExecFailed for a
// death by a signal.
std::uint32_t ResultOfWaitStatus(int status);

// Reads what the non-blocking pipe `fd` holds now: the byte count; 0 when
// the output has ended (every writer has closed it, or it broke), and `fd`
// is closed and set to -1 then; -1 when nothing is waiting or `fd` is -1.
std::ptrdiff_t ReadOutputPipe(int& fd, char* buffer, std::size_t size);

// The full path ExecAndWait would run for `program`: `program` itself when it
// holds a "/", else the first executable regular file of that name in an
// absolute PATH folder (empty or relative PATH entries are skipped); empty
// when there is none.
std::string FindProgram(const std::string& program);

}  // namespace velmorin
