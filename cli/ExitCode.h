// The exit codes of velmorin-cli, which scripts at the production line act on.
#pragma once

namespace velmorin::cli {

enum ExitCode : int {
  kExitDone = 0,       // every image done (or the command did what it was asked)
  kExitError = 1,      // an error; its text went to standard error
  kExitUsage = 2,      // unknown command, option, key or value; nothing was touched
  kExitNotDone = 3,    // an image not done: Cancel at the prompt, a burner failed or didn't start
  kExitInUse = 4,      // another copy of Velmorin holds the INI file
  kExitStopped = 130,  // stopped by Ctrl-C or SIGTERM
};

}  // namespace velmorin::cli
