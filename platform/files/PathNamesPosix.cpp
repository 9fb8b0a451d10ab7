#include "platform/files/PathNames.h"

namespace velmorin {

char PathSeparator() {
  return '/';
}

std::string_view PathFolderEnds() {
  return "/";
}

}  // namespace velmorin
