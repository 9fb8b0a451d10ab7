#include "platform/system/ExecutablePath.h"

#include <cerrno>

#include "base/Exceptions.h"
#include "platform/files/FileErrors.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace velmorin {

namespace {
#ifdef _WIN32
constexpr const char* kSeparators = "\\/:";
#else
constexpr const char* kSeparators = "/";
#endif
}  // namespace

std::string ExecutablePath() {
#ifdef _WIN32
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
#else
  std::string path(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) RaiseInOutError(errno, "/proc/self/exe");
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      return path;
    }
    path.resize(path.size() * 2);  // the link may have been cut: try a larger buffer
  }
#endif
}

std::string IniPathFor(const std::string& executablePath) {
  const std::size_t separator = executablePath.find_last_of(kSeparators);
  const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  const std::size_t dot = executablePath.rfind('.');
  if (dot == std::string::npos || dot <= nameStart) return executablePath + ".ini";
  return executablePath.substr(0, dot) + ".ini";
}

}  // namespace velmorin
