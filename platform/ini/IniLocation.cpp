// What IniLocation.h is on every system; IniLocationPosix.cpp and
// IniLocationWin.cpp hold where each puts the file.
#include "platform/ini/IniLocation.h"

#include "platform/files/PathNames.h"

namespace velmorin {

std::string SiblingExecutable(const std::string& executablePath, const std::string& name) {
  const std::size_t separator = executablePath.find_last_of(PathFolderEnds());
  const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  const std::size_t dot = executablePath.rfind('.');
  const std::string extension =
      dot == std::string::npos || dot <= nameStart ? "" : executablePath.substr(dot);
  return executablePath.substr(0, nameStart) + name + extension;
}

}  // namespace velmorin
