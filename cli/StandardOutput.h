// What velmorin-cli prints on standard output, written so that a failure is
// seen. A script that reads only part of it (`| head -1`) closes the pipe; a
// full disk refuses the rest. Either way the command must not end as if every
// line had arrived: SIGPIPE is ignored, so that a write to a closed pipe
// fails instead of ending the program without a word, and every write and
// flush is checked.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace velmorin::cli {

// Ignores SIGPIPE for the rest of the run (nothing on Windows, which has
// none). Burners get the default back when they start.
void IgnoreBrokenPipes();

// Writes all of `text` to `out` and flushes it, past interruptions by a
// signal; the system's reason ("Broken pipe") when it can't.
std::optional<std::string> TryWriteOutput(std::FILE* out, std::string_view text);

// The same, raising "Unable to write to standard output: <reason>".
void WriteOutput(std::FILE* out, std::string_view text);

}  // namespace velmorin::cli
