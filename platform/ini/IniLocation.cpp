#include "platform/ini/IniLocation.h"

#include <cerrno>
#include <cstdlib>

#include "platform/files/FileExists.h"
#include "platform/system/ExecutablePath.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmorin {

namespace {

#ifndef _WIN32
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
#endif

}  // namespace

IniLocation LocateIniFile(const std::string& executablePath, const char* xdgConfigHome,
                          const char* home,
                          const std::function<bool(const std::string& folder)>& folderWritable) {
  IniLocation beside{IniPathFor(executablePath), false};
#ifdef _WIN32
  (void)xdgConfigHome;
  (void)home;
  (void)folderWritable;
  return beside;
#else
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
#endif
}

IniLocation LocateIniFile(const std::string& executablePath, const char* xdgConfigHome,
                          const char* home) {
  return LocateIniFile(executablePath, xdgConfigHome, home, [](const std::string& folder) {
#ifdef _WIN32
    (void)folder;
    return true;
#else
    return ::access(folder.c_str(), W_OK) == 0;
#endif
  });
}

IniLocation LocateIniFile() {
#ifdef _WIN32
  return LocateIniFile(ExecutablePath(), nullptr, nullptr);
#else
  return LocateIniFile(ExecutablePath(), std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
#endif
}

std::string SiblingExecutable(const std::string& executablePath, const std::string& name) {
#ifdef _WIN32
  const std::size_t separator = executablePath.find_last_of("\\/:");
#else
  const std::size_t separator = executablePath.rfind('/');
#endif
  const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  const std::size_t dot = executablePath.rfind('.');
  const std::string extension =
      dot == std::string::npos || dot <= nameStart ? "" : executablePath.substr(dot);
  return executablePath.substr(0, nameStart) + name + extension;
}

IniLocation LocateWindowIniFile(const std::string& windowName) {
  const std::string window = SiblingExecutable(ExecutablePath(), windowName);
#ifdef _WIN32
  return LocateIniFile(window, nullptr, nullptr);
#else
  return LocateIniFile(window, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
#endif
}

bool MakeIniFolder(const IniLocation& location) {
#ifdef _WIN32
  (void)location;
  return true;
#else
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
#endif
}

}  // namespace velmorin
