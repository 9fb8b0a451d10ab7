// The POSIX half of ExecAndWait.h: posix_spawn, no shell, our own splitter.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <utility>
#include <vector>

#include "platform/process/CommandLine.h"
#include "platform/process/ExecAndWait.h"
#include "platform/process/SpawnPosix.h"

extern char** environ;

namespace velmorin {

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string SearchPath() {
  if (const char* path = std::getenv("PATH")) return path;
  // No PATH at all: the system's default search folders.
  const std::size_t size = ::confstr(_CS_PATH, nullptr, 0);
  if (size == 0) return "/usr/bin:/bin";
  std::string defaultPath(size, '\0');
  ::confstr(_CS_PATH, defaultPath.data(), size);
  defaultPath.resize(size - 1);
  return defaultPath;
}

// Owns the spawn attributes and file actions for one start.
class SpawnSetup {
 public:
  SpawnSetup() {
    FActionsReady = ::posix_spawn_file_actions_init(&FActions) == 0;
    FAttrReady = ::posix_spawnattr_init(&FAttr) == 0;
  }
  ~SpawnSetup() {
    if (FActionsReady) ::posix_spawn_file_actions_destroy(&FActions);
    if (FAttrReady) ::posix_spawnattr_destroy(&FAttr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // `pipeWriteFd` is the write end of the output pipe for ChildOutput::Pipe.
  bool Prepare(ChildOutput output, int pipeWriteFd) {
    if (!FActionsReady || !FAttrReady) return false;
    if (output == ChildOutput::Discard) {
      if (::posix_spawn_file_actions_addopen(&FActions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) !=
              0 ||
          ::posix_spawn_file_actions_adddup2(&FActions, STDOUT_FILENO, STDERR_FILENO) != 0) {
        return false;
      }
    } else if (output == ChildOutput::Pipe) {
      // dup2 clears close-on-exec on the copies; the pipe's own descriptors
      // are closed below with every other one from 3 up.
      if (::posix_spawn_file_actions_adddup2(&FActions, pipeWriteFd, STDOUT_FILENO) != 0 ||
          ::posix_spawn_file_actions_adddup2(&FActions, pipeWriteFd, STDERR_FILENO) != 0) {
        return false;
      }
    }
    // In a process group of its own, a burner reading our terminal would be
    // stopped for good (SIGTTIN) and hang the tool; it reads end of file instead.
    if (::isatty(STDIN_FILENO) && ::posix_spawn_file_actions_addopen(
                                      &FActions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0) {
      return false;
    }
    if (!CloseInheritedDescriptors()) return false;

    // Its own process group, no blocked signals, and the usual dispositions
    // for the signals a caller may have ignored or caught.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGTTIN, SIGTTOU,
                          SIGTSTP, SIGALRM, SIGUSR1, SIGUSR2}) {
      sigaddset(&defaults, sig);
    }
    return ::posix_spawnattr_setflags(&FAttr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                  POSIX_SPAWN_SETSIGDEF) == 0 &&
           ::posix_spawnattr_setpgroup(&FAttr, 0) == 0 &&
           ::posix_spawnattr_setsigmask(&FAttr, &none) == 0 &&
           ::posix_spawnattr_setsigdefault(&FAttr, &defaults) == 0;
  }

  const posix_spawn_file_actions_t* Actions() const { return &FActions; }
  const posix_spawnattr_t* Attributes() const { return &FAttr; }

 private:
  // Every descriptor from 3 up is closed in the child, whether or not its
  // owner remembered close-on-exec.
  bool CloseInheritedDescriptors() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    return ::posix_spawn_file_actions_addclosefrom_np(&FActions, STDERR_FILENO + 1) == 0;
#else
    const long limit = ::sysconf(_SC_OPEN_MAX);
    const int last = limit > 0 && limit < 65536 ? static_cast<int>(limit) : 65536;
    for (int fd = STDERR_FILENO + 1; fd < last; ++fd) {
      if (::fcntl(fd, F_GETFD) != -1 && ::posix_spawn_file_actions_addclose(&FActions, fd) != 0) {
        return false;
      }
    }
    return true;
#endif
  }

  posix_spawn_file_actions_t FActions{};
  posix_spawnattr_t FAttr{};
  bool FActionsReady = false;
  bool FAttrReady = false;
};

// Waits for `pid` to end, retrying when a signal interrupts the wait.
std::uint32_t Reap(pid_t pid) {
  int status = 0;
  pid_t waited;
  do {
    waited = ::waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited != pid) return kExecFailed;
  return ResultOfWaitStatus(status);
}

// A pipe whose descriptors are closed on every path unless released.
class OwnedPipe {
 public:
  OwnedPipe() = default;
  ~OwnedPipe() { Reset(); }
  OwnedPipe(const OwnedPipe&) = delete;
  OwnedPipe& operator=(const OwnedPipe&) = delete;
  int* Ends() { return FFds; }
  int Release(int index) { return std::exchange(FFds[index], -1); }
  void Reset() {
    for (int& fd : FFds) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
  }

 private:
  int FFds[2] = {-1, -1};
};

}  // namespace

std::uint32_t ResultOfWaitStatus(int status) {
  if (!WIFEXITED(status)) return kExecFailed;
  return static_cast<std::uint32_t>(WEXITSTATUS(status));
}

std::string FindProgram(const std::string& program) {
  if (program.empty()) return {};
  if (program.find('/') != std::string::npos) return program;
  const std::string path = SearchPath();
  std::size_t begin = 0;
  while (begin <= path.size()) {
    std::size_t end = path.find(':', begin);
    if (end == std::string::npos) end = path.size();
    const std::string folder = path.substr(begin, end - begin);
    // An empty or relative entry would mean a folder below the current one.
    if (!folder.empty() && folder.front() == '/') {
      std::string candidate = folder;
      if (candidate.back() != '/') candidate += '/';
      candidate += program;
      if (IsExecutableFile(candidate)) return candidate;
    }
    begin = end + 1;
  }
  return {};
}

ProcessId SpawnProcess(const std::string& commandLine, ChildOutput output, int& outputFd) {
  outputFd = -1;
  std::vector<std::string> arguments = SplitCommandLine(commandLine);
  if (arguments.empty()) return -1;
  const std::string program = FindProgram(arguments.front());
  if (program.empty()) return -1;

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  OwnedPipe pipe;
  if (output == ChildOutput::Pipe) {
    if (::pipe2(pipe.Ends(), O_CLOEXEC) != 0) return -1;
    // Only our end is non-blocking: the flag belongs to the open file, and
    // the burner's writes must block when we fall behind, not fail.
    const int flags = ::fcntl(pipe.Ends()[0], F_GETFL);
    if (flags < 0 || ::fcntl(pipe.Ends()[0], F_SETFL, flags | O_NONBLOCK) != 0) return -1;
  }

  pid_t pid = 0;
  SpawnSetup setup;
  if (!setup.Prepare(output, pipe.Ends()[1])) return -1;
  if (::posix_spawn(&pid, program.c_str(), setup.Actions(), setup.Attributes(), argv.data(),
                    environ) != 0) {
    return -1;
  }
  outputFd = pipe.Release(0);
  return static_cast<ProcessId>(pid);
}

std::uint32_t ExecAndWait(const std::string& commandLine, WindowShow show,
                          ProcessObserver* observer) {
  int unused = -1;
  const ProcessId id = SpawnProcess(
      commandLine, show == WindowShow::Hidden ? ChildOutput::Discard : ChildOutput::Inherit,
      unused);
  if (id < 0) return kExecFailed;
  const auto pid = static_cast<pid_t>(id);

  // The child is reaped whatever the observer does.
  std::exception_ptr observerError;
  if (observer != nullptr) {
    try {
      observer->Started(static_cast<ProcessId>(pid));
    } catch (...) {
      observerError = std::current_exception();
    }
  }
  const std::uint32_t result = Reap(pid);
  if (observerError) std::rethrow_exception(observerError);
  if (observer != nullptr) observer->Finished(result);
  return result;
}

}  // namespace velmorin
