// The Windows half of IniLocation.h: the INI file always lies beside the
// executable (the portable layout), and there is no per-user folder to make.
#include "platform/ini/IniLocation.h"
#include "platform/system/ExecutablePath.h"

namespace velmorin {

IniLocation LocateIniFile(const std::string& executablePath, const char* /*xdgConfigHome*/,
                          const char* /*home*/,
                          const std::function<bool(const std::string& folder)>& /*writable*/) {
  return {IniPathFor(executablePath), false};
}

IniLocation LocateIniFile(const std::string& executablePath, const char* xdgConfigHome,
                          const char* home) {
  return LocateIniFile(executablePath, xdgConfigHome, home,
                       [](const std::string&) { return true; });
}

IniLocation LocateIniFile() {
  return LocateIniFile(ExecutablePath(), nullptr, nullptr);
}

IniLocation LocateWindowIniFile(const std::string& windowName) {
  return LocateIniFile(SiblingExecutable(ExecutablePath(), windowName), nullptr, nullptr);
}

bool MakeIniFolder(const IniLocation& /*location*/) {
  return true;
}

}  // namespace velmorin
