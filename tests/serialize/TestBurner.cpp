// A stand-in burner for the tests: records how it was started and ends the way
// the test asks. Controlled through the environment, since its arguments are
// what is under test:
//   VELMORIN_BURNER_LOG     appends "<argc>\0<arg0>\0<arg1>\0..." for this run
//   VELMORIN_BURNER_STATE   writes "pid <pid>", "pgid <pgid>", the SigBlk and
//                           SigIgn lines of /proc/self/status, and
//                           "fd <n> <target>" for every open descriptor
//   VELMORIN_BURNER_SLEEP_MS  sleeps this long first
//   VELMORIN_BURNER_SIGNAL  kills itself with this signal
//   VELMORIN_BURNER_EXIT    exits with this code (default 0)
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

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

}  // namespace

int main(int argc, char** argv) {
  if (const char* log = Env("VELMORIN_BURNER_LOG")) RecordArguments(log, argc, argv);
  if (const char* state = Env("VELMORIN_BURNER_STATE")) RecordState(state);
  if (const char* sleepMs = Env("VELMORIN_BURNER_SLEEP_MS")) usleep(1000 * std::atoi(sleepMs));
  if (const char* sig = Env("VELMORIN_BURNER_SIGNAL")) {
    signal(std::atoi(sig), SIG_DFL);
    raise(std::atoi(sig));
  }
  const char* code = Env("VELMORIN_BURNER_EXIT");
  return code != nullptr ? std::atoi(code) : 0;
}
