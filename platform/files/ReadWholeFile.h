// Reads a whole file into memory, as the INI file is read: a missing file is
// no error and reads as empty; any other failure the system reports, on
// opening or on reading, gives its error code, so that a file that could not
// be read is never taken for an empty or shorter one. ReadWholeFilePosix.cpp
// and ReadWholeFileWin.cpp are the two halves.
#pragma once

#include <string>

namespace velmorin {

// Reads `fileName` whole into `text`: 0 once done (an empty `text` for a
// missing file), else the system's error code (errno on POSIX, GetLastError()
// on Windows), and `text` is then not to be used.
int ReadWholeFile(const std::string& fileName, std::string& text);

}  // namespace velmorin
