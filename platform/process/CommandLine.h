// Splits a burner command line into program and arguments without a shell, so
// that nothing in a file name can run a command.
//
// Blanks and tabs separate arguments. An apostrophe opens a literal run that
// the next lone apostrophe closes, with two apostrophes inside it standing for
// one; double quotes work the same way with two double quotes for one. Runs and
// plain text next to each other make one argument ("-p'a b'" is "-pa b"), and
// an empty run is an empty argument. A run left open at the end of the line
// takes the rest of the line. A backslash, "$", ";", a newline and every other
// character are ordinary.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmorin {

std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The inverse for one argument: an apostrophe run holding `argument`, with
// every apostrophe inside doubled. SplitCommandLine reads it back as exactly
// `argument`, wherever it stands in the line.
std::string QuoteArgument(std::string_view argument);

// How the system reads a command line back, for the burner's: on POSIX our
// SplitCommandLine does, so a path is quoted when it holds a blank, a tab, an
// apostrophe or a double quote; on Windows the burner and the system split
// it, and only a blank needs quoting. CommandLinePosix.cpp and
// CommandLineWin.cpp hold the two.
bool CommandLineNeedsQuoting(std::string_view argument);
// Whether SplitCommandLine is what reads the line back (POSIX).
bool CommandLineSplitByUs();
// A path as an argument that can't be taken for an option: on POSIX a path
// that starts with "-" goes as "./" + path, the same file; elsewhere, and for
// every other path, the path itself.
std::string PathArgument(std::string_view path);

}  // namespace velmorin
