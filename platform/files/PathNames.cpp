#include "platform/files/PathNames.h"

namespace velmorin {

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (name.empty()) return std::string(folder);
  if (folder.empty()) return std::string(name);
  const bool folderEnds = folder.back() == PathSeparator();
  const bool nameStarts = name.front() == PathSeparator();
  std::string path(folder);
  if (folderEnds && nameStarts) {
    path.pop_back();
  } else if (!folderEnds && !nameStarts) {
    path += PathSeparator();
  }
  path += name;
  return path;
}

std::string FileStem(std::string_view path) {
  const auto folderEnd = path.find_last_of(PathFolderEnds());
  std::string_view base = folderEnd == std::string_view::npos ? path : path.substr(folderEnd + 1);
  const auto dot = base.rfind('.');
  if (dot != std::string_view::npos) base = base.substr(0, dot);
  return std::string(base);
}

}  // namespace velmorin
