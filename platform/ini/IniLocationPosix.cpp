// The POSIX half of IniLocation.h: beside the executable when that folder
// can take the file, else in the user's configuration folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/files/FileExists.h"
#include "platform/ini/IniLocation.h"
#include "platform/system/ExecutablePath.h"

namespace velmorin {

namespace {

bool IsAbsolute(const char* path) {
  return path != nullptr && path[0] == '/';
}

std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.rfind('/');
  if (separator == std::string::npos) return ".";
  if (separator == 0) return "/";
  return path.substr(0, separator);
}

std::string WithoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

IniLocation LocateIniFile(const std::string& executablePath, const char* xdgConfigHome,
                          const char* home,
                          const std::function<bool(const std::string& folder)>& folderWritable) {
  IniLocation beside{IniPathFor(executablePath), false};
  if (FileExists(beside.Path) || folderWritable(FolderOf(executablePath))) return beside;
  std::string configHome;
  if (IsAbsolute(xdgConfigHome)) {
    configHome = WithoutTrailingSlashes(xdgConfigHome);
  } else if (IsAbsolute(home)) {
    configHome = WithoutTrailingSlashes(home) + "/.config";
  } else {
    return beside;
  }
  return {configHome + "/velmorin/velmorin.ini", true};
}

IniLocation LocateIniFile(const std::string& executablePath, const char* xdgConfigHome,
                          const char* home) {
  return LocateIniFile(executablePath, xdgConfigHome, home, [](const std::string& folder) {
    return ::access(folder.c_str(), W_OK) == 0;
  });
}

IniLocation LocateIniFile() {
  return LocateIniFile(ExecutablePath(), std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

IniLocation LocateWindowIniFile(const std::string& windowName) {
  return LocateIniFile(SiblingExecutable(ExecutablePath(), windowName),
                       std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

bool MakeIniFolder(const IniLocation& location) {
  if (!location.PerUser) return true;
  const std::string& path = location.Path;
  // Every folder on the way, from the root down; those present are left as
  // they are.
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(FolderOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace velmorin
