// A stand-in burner for the tests: records how it was started and ends the way
// the test asks. Controlled through the environment, since its arguments are
// what is under test:
//   VELMORIN_BURNER_LOG     appends "<argc>\0<arg0>\0<arg1>\0..." for this run
//   VELMORIN_BURNER_STATE   POSIX: writes "pid <pid>", "pgid <pgid>", the SigBlk
//                           and SigIgn lines of /proc/self/status, and
//                           "fd <n> <target>" for every open descriptor.
//                           Windows: writes "pid", "flags" and "show" (its
//                           start-up information), "priority", "cwd",
//                           "handle <h> <0|1>" (whether the event named by
//                           VELMORIN_BURNER_HANDLE is open and signalled
//                           here) and, last,
//                           "cmdline <the command line as handed over>"
//   VELMORIN_BURNER_SLEEP_MS  sleeps this long first
//   VELMORIN_BURNER_SIGNAL  POSIX: kills itself with this signal. Windows:
//                           terminates itself as Ctrl+C would (0xC000013A)
//   VELMORIN_BURNER_EXIT    exits with this code (default 0; decimal or 0x...)
#ifdef _WIN32  // a stand-in burner of each system: what it reports and how it ends
#include <windows.h>
#else
#include <dirent.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char* Env(const char* name) {
  return std::getenv(name);
}

void RecordArguments(const char* logPath, int argc, char** argv) {
  std::ofstream log(logPath, std::ios::binary | std::ios::app);
  log << argc << '\0';
  for (int i = 0; i < argc; ++i) log << argv[i] << '\0';
}

#ifdef _WIN32  // the state a Windows burner starts with: STARTUPINFO, handles, priority

void RecordState(const char* statePath) {
  std::ostringstream state;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoA(&startup);
  char folder[MAX_PATH + 1] = {};
  ::GetCurrentDirectoryA(sizeof folder, folder);
  state << "pid " << ::GetCurrentProcessId() << "\nflags " << startup.dwFlags << "\nshow "
        << startup.wShowWindow << "\npriority " << ::GetPriorityClass(::GetCurrentProcess())
        << "\ncwd " << folder << "\n";
  if (const char* handle = Env("VELMORIN_BURNER_HANDLE")) {
    DWORD info = 0;
    const auto value = static_cast<std::uintptr_t>(std::strtoull(handle, nullptr, 0));
    // Open and signalled: the parent's event, not some handle of our own
    // that happens to have the same value.
    const HANDLE h = reinterpret_cast<HANDLE>(value);
    const bool open =
        ::GetHandleInformation(h, &info) != 0 && ::WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    state << "handle " << handle << " " << (open ? 1 : 0) << "\n";
  }
  state << "cmdline " << ::GetCommandLineA() << "\n";
  std::ofstream(statePath, std::ios::binary | std::ios::trunc) << state.str();
}

#else

// Gathered first and written last, so that the burner's own files are not
// among the descriptors it lists.
void RecordState(const char* statePath) {
  std::ostringstream state;
  state << "pid " << getpid() << "\npgid " << getpgid(0) << "\n";
  {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("SigBlk:", 0) == 0 || line.rfind("SigIgn:", 0) == 0) state << line << "\n";
    }
  }
  if (DIR* dir = opendir("/proc/self/fd")) {
    const int ownFd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      const int fd = std::atoi(entry->d_name);
      if (fd == ownFd) continue;
      char target[4096] = {};
      const std::string link = std::string("/proc/self/fd/") + entry->d_name;
      const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
      if (length >= 0) target[length] = '\0';
      state << "fd " << fd << " " << target << "\n";
    }
    closedir(dir);
  }
  std::ofstream(statePath, std::ios::binary | std::ios::trunc) << state.str();
}

#endif

}  // namespace

int main(int argc, char** argv) {
  if (const char* log = Env("VELMORIN_BURNER_LOG")) RecordArguments(log, argc, argv);
  if (const char* state = Env("VELMORIN_BURNER_STATE")) RecordState(state);
#ifdef _WIN32  // no signals on Windows: it ends as Ctrl+C would end it
  if (const char* sleepMs = Env("VELMORIN_BURNER_SLEEP_MS")) {
    ::Sleep(static_cast<DWORD>(std::atoi(sleepMs)));
  }
  if (Env("VELMORIN_BURNER_SIGNAL") != nullptr)
    ::TerminateProcess(::GetCurrentProcess(), 0xC000013A);
#else
  if (const char* sleepMs = Env("VELMORIN_BURNER_SLEEP_MS"))
    usleep(static_cast<useconds_t>(1000 * std::atoi(sleepMs)));
  if (const char* sig = Env("VELMORIN_BURNER_SIGNAL")) {
    signal(std::atoi(sig), SIG_DFL);
    raise(std::atoi(sig));
  }
#endif
  // Read as a 32-bit pattern, so 0xFFFFFFFF is a Windows exit code of its own.
  const char* code = Env("VELMORIN_BURNER_EXIT");
  return code != nullptr ? static_cast<int>(std::strtoul(code, nullptr, 0)) : 0;
}
