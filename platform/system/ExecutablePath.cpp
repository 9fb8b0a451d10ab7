#include "platform/system/ExecutablePath.h"

#include "platform/files/PathNames.h"

namespace velmorin {

std::string IniPathFor(const std::string& executablePath) {
  const std::size_t separator = executablePath.find_last_of(PathFolderEnds());
  const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  const std::size_t dot = executablePath.rfind('.');
  if (dot == std::string::npos || dot <= nameStart) return executablePath + ".ini";
  return executablePath.substr(0, dot) + ".ini";
}

}  // namespace velmorin
