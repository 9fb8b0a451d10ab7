// velmorin-cli started without waiting, as POSIX processes: for the tests of
// signals, pipes and stations that run at once.
#pragma once

#include <string>

#include "tests/cli/CliRunner.h"

namespace velmorin::test {

// Starts velmorin-cli without waiting; its output goes to `outFile` and
// `errFile`, its input is /dev/null. Returns its pid.
int StartCli(const CliRun& run, const std::string& outFile, const std::string& errFile);
// The same with standard output on `outFd` (a pipe's write end, say, which
// the caller closes afterwards), and SIGPIPE ignored when `ignoreSigpipe`, as
// a systemd service starts it.
int StartCliWritingTo(const CliRun& run, int outFd, const std::string& errFile, bool ignoreSigpipe);
// Waits for a child started by StartCli: its exit code, or 128 + the signal.
int WaitCli(int pid);

}  // namespace velmorin::test
