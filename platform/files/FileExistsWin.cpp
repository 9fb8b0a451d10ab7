#include <windows.h>

#include "platform/files/FileExists.h"

namespace velmorin {

// A directory search with every attribute allowed, with the critical-error
// boxes (an empty removable drive, say) switched off while it runs.
bool FileExists(const std::string& path) {
  const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(path.c_str(), &found);
  const bool present = search != INVALID_HANDLE_VALUE;
  if (present) FindClose(search);
  SetErrorMode(previousMode);
  return present;
}

}  // namespace velmorin
