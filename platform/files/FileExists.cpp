#include "platform/files/FileExists.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace velmorin {

#ifdef _WIN32

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

#else

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

#endif

}  // namespace velmorin
