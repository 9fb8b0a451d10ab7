// Runs a command and turns what it raises into the exit code and the text on
// standard error, as the window's error guard turns it into an error box.
#pragma once

#include <functional>
#include <string>

namespace velmorin::cli {

// The command's own exit code, or for what it raised: 2 for a usage error, 4
// for an INI file held by another copy, 1 for any other error. The error's
// text is the one the window's error box would show, after "velmorin-cli: ".
int RunReportingErrors(const std::function<int()>& command);

// Writes "velmorin-cli: <text>" and a line break to standard error.
void PrintError(const std::string& text);

}  // namespace velmorin::cli
