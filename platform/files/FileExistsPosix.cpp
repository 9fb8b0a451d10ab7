#include <sys/stat.h>

#include "platform/files/FileExists.h"

namespace velmorin {

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

}  // namespace velmorin
