// What IniFileLock does on every system: where the lock lies and what its
// refusals say.
#include "platform/ini/IniFileLock.h"

#include <filesystem>

#include "base/Exceptions.h"
#include "platform/files/FileErrors.h"

namespace velmorin {

void IniFileLock::RaiseInUse(const std::string& iniPath) {
  throw EIniFileInUse("The INI file " + iniPath + " is in use by another copy of Velmorin");
}

void IniFileLock::RaiseLockFailure(const std::string& iniPath, int err) {
  throw EIniFileException("Unable to lock " + iniPath + ": " + InOutErrorMessage(err, iniPath));
}

// Two copies that name the file through different links still meet on one
// lock: it lies beside the file the writes land in.
std::string IniFileLock::ResolvedPath(const std::string& iniPath) {
  std::error_code ec;
  const auto resolved = std::filesystem::weakly_canonical(iniPath, ec);
  return ec || resolved.empty() ? iniPath : resolved.string();
}

std::string IniFileLock::LockFileName(const std::string& iniPath) {
  return ResolvedPath(iniPath) + ".lock";
}

}  // namespace velmorin
