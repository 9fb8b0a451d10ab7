// Path text rules for output files. On POSIX "/" is the only separator and a
// colon is an ordinary character; on Windows JoinPath adds and collapses only
// the backslash, and the stem ends its folder part at a backslash, a forward
// slash or a drive colon. Paths are taken as typed: nothing is resolved,
// created or checked.
#pragma once

#include <string>
#include <string_view>

namespace velmorin {

// The separator JoinPath adds: "/" on POSIX, "\\" on Windows.
char PathSeparator();
// The characters after which a path's folder part ends: "/" on POSIX; a
// backslash, a forward slash (which Windows also takes as a separator) and a
// drive colon on Windows. PathNamesPosix.cpp and PathNamesWin.cpp hold them.
std::string_view PathFolderEnds();

// `folder` and `name` with exactly one separator between them when both are
// given: a separator ending the folder and one starting the name collapse to
// one; an empty folder gives the bare name and an empty name the bare folder.
std::string JoinPath(std::string_view folder, std::string_view name);

// The file name of `path` without its folder and without its extension (from
// the last full stop on): "/fw/board.rev2.hex" gives "board.rev2".
std::string FileStem(std::string_view path);

}  // namespace velmorin
