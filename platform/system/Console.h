// The standard streams and signals of a program run from a terminal or a
// script (the command line): one interface, ConsolePosix.cpp and
// ConsoleWin.cpp its halves, Console.cpp what they share.
#pragma once

#include <cstdio>
#include <string_view>

namespace velmorin {

// Whether descriptor `fd` (0, 1, 2) is a terminal.
bool IsTerminal(int fd);

// The width of the terminal behind descriptor `fd`, in columns; 0 when it is
// no terminal or does not say.
int TerminalColumns(int fd);

// Reads one byte of standard input into `c`: 1 when read, 0 at its end, -1
// on an error (errno says which; EINTR when a signal cut the wait short).
int ReadStandardInputByte(char& c);

// Makes Ctrl-C and SIGTERM call `handler`. A wait for input that they cut
// short returns at once (no restart), so a prompt sees the stop.
void CatchStopSignals(void (*handler)(int));

// Ignores SIGPIPE for the rest of the run, so that a write to a closed pipe
// fails instead of ending the program without a word (nothing on Windows,
// which has none).
void IgnoreBrokenPipes();

// Writes all of `text` to the descriptor behind `out`, past interruptions by
// a signal. Sets `failed` when a write failed, and returns its errno then
// (0 when the system gave none); returns 0 otherwise.
int WriteToStream(std::FILE* out, std::string_view text, bool& failed);

// Sets standard output aside: returns a stream on a copy of it, and makes
// standard output itself standard error, so that a child (the burner),
// which inherits ours, writes there. Raises Exception when it can't.
std::FILE* SetAsideStandardOutput();

}  // namespace velmorin
