// Where the INI file of the profiles lies. A copy of the program in a folder
// of its own (the portable layout) keeps the file beside the executable, as it
// always has. An installed copy (/usr/bin is not the user's to write) keeps it
// in the user's configuration folder instead, where it can be stored.
#pragma once

#include <functional>
#include <string>

namespace velmorin {

struct IniLocation {
  std::string Path;
  // In the per-user configuration folder, which may not exist yet.
  bool PerUser = false;
};

// The rule, with everything it looks at passed in. Beside the executable
// (IniPathFor) when an INI file is already there or `folderWritable` says the
// user may create files in the executable's folder. Otherwise
// `xdgConfigHome`/velmorin/velmorin.ini, or `home`/.config/velmorin/velmorin.ini
// when XDG_CONFIG_HOME is unset, empty or relative (such a value is to be
// ignored). Without an absolute home either, beside the executable after all:
// its first write then names the file that cannot be written.
// `xdgConfigHome` and `home` are nullptr when unset. Windows: always beside.
IniLocation LocateIniFile(const std::string& executablePath, const char* xdgConfigHome,
                          const char* home,
                          const std::function<bool(const std::string& folder)>& folderWritable);

// The same, where the user may write to a folder when access(W_OK) says so.
IniLocation LocateIniFile(const std::string& executablePath, const char* xdgConfigHome,
                          const char* home);

// For the running program: its own executable and environment.
IniLocation LocateIniFile();

// The path of the program `name` in the same folder as `executablePath`,
// with the same extension (".exe" on Windows, none on POSIX).
std::string SiblingExecutable(const std::string& executablePath, const std::string& name);

// For a program that ships beside the window (the command line): the INI
// file the window in the same folder uses, by the same rule.
IniLocation LocateWindowIniFile(const std::string& windowName);

// Creates the missing folders on the way to a per-user INI file, with mode
// 0700 as the per-user configuration folders want. Nothing for a file beside
// the executable. False when a folder can't be made; the INI file's first
// write then reports the file it cannot write.
bool MakeIniFolder(const IniLocation& location);

}  // namespace velmorin
