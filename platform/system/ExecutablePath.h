// Where the running program lives, and the INI file that belongs to it.
#pragma once

#include <string>

namespace velmorin {

// The full path of the running executable; raises EInOutError when the system
// can't tell.
std::string ExecutablePath();

// The INI path for an executable: its extension replaced by ".ini", or ".ini"
// appended when it has none. Only the last path component can hold the
// extension, so a dot in a folder name is left alone; a name's leading dot (a
// hidden file on POSIX) is no extension either.
std::string IniPathFor(const std::string& executablePath);

}  // namespace velmorin
