#include "platform/files/PathNames.h"

namespace velmorin {

char PathSeparator() {
  return '\\';
}

std::string_view PathFolderEnds() {
  // A stem holding a forward slash could only name a file in another
  // folder, or none.
  return "\\/:";
}

}  // namespace velmorin
