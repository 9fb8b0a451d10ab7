// The Windows half of ExecutablePath: GetModuleFileNameA.
#include <windows.h>

#include "base/Exceptions.h"
#include "platform/system/ExecutablePath.h"

namespace velmorin {

std::string ExecutablePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw EInOutError(static_cast<int>(::GetLastError()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace velmorin
