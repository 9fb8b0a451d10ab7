#include "platform/files/PathNames.h"

namespace velmorin {

namespace {
#ifdef _WIN32
constexpr char kSeparator = '\\';
// Where the folder part of a path ends: after a backslash or a drive colon,
// and after a forward slash, which Windows also takes as a separator: a stem
// holding one could only name a file in another folder, or none.
constexpr std::string_view kFolderEnds = "\\/:";
#else
constexpr char kSeparator = '/';
constexpr std::string_view kFolderEnds = "/";
#endif
}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (name.empty()) return std::string(folder);
  if (folder.empty()) return std::string(name);
  const bool folderEnds = folder.back() == kSeparator;
  const bool nameStarts = name.front() == kSeparator;
  std::string path(folder);
  if (folderEnds && nameStarts) {
    path.pop_back();
  } else if (!folderEnds && !nameStarts) {
    path += kSeparator;
  }
  path += name;
  return path;
}

std::string FileStem(std::string_view path) {
  const auto folderEnd = path.find_last_of(kFolderEnds);
  std::string_view base = folderEnd == std::string_view::npos ? path : path.substr(folderEnd + 1);
  const auto dot = base.rfind('.');
  if (dot != std::string_view::npos) base = base.substr(0, dot);
  return std::string(base);
}

}  // namespace velmorin
