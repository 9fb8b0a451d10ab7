// velmorin-cli started without waiting, as a Windows process: for the tests
// of a velmorin-cli that dies while its burner runs.
#pragma once

#include <string>

#include "tests/cli/CliRunner.h"

namespace velmorin::test {

// Starts velmorin-cli without waiting; its output goes to `outFile` and
// `errFile`, its input is the null device. Returns its process handle, which
// the caller closes.
void* StartCliProcess(const CliRun& run, const std::string& outFile, const std::string& errFile);

}  // namespace velmorin::test
