#include "tests/robustness/ChildProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace velmorin::test {

namespace {

std::vector<char*> Argv(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::string* outputFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outputFile != nullptr) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile->c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  }
  pid_t pid = 0;
  std::vector<char*> pointers = Argv(argv);
  const int error =
      posix_spawn(&pid, argv.at(0).c_str(), &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

// Fields of /proc/<pid>/stat after the command name, which may hold blanks.
std::vector<std::string> StatFields(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return {};
  std::istringstream rest(text.substr(close + 1));
  std::vector<std::string> fields;
  for (std::string field; rest >> field;) fields.push_back(field);
  return fields;  // [0] state, [1] ppid, ...
}

// Waits for `pid` to end and gives its status and peak memory.
ChildResult WaitForChild(pid_t pid) {
  ChildResult result;
  rusage usage{};
  pid_t waited;
  do {
    waited = ::wait4(pid, &result.status, 0, &usage);
  } while (waited < 0 && errno == EINTR);
  if (waited != pid) throw std::runtime_error("wait4 failed");
  result.peakRssKiB = usage.ru_maxrss;
  return result;
}

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv) {
  return WaitForChild(Spawn(argv, nullptr));
}

ChildResult RunChildWithAddressSpace(const std::vector<std::string>& argv, std::size_t bytes) {
  // Everything the child needs is made before the fork: it may only call
  // async-signal-safe functions until the exec.
  std::vector<char*> pointers = Argv(argv);
  const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("cannot fork for " + argv.at(0));
  if (pid == 0) {
    if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(kNoAddressSpaceLimit);
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  return WaitForChild(pid);
}

pid_t StartChild(const std::vector<std::string>& argv, const std::string& outputFile) {
  return Spawn(argv, &outputFile);
}

std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> children;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return children;
  while (const dirent* entry = ::readdir(proc)) {
    const std::string name = entry->d_name;
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::vector<std::string> fields = StatFields(name);
    if (fields.size() > 1 && std::atol(fields[1].c_str()) == parent) {
      children.push_back(static_cast<pid_t>(std::atol(name.c_str())));
    }
  }
  ::closedir(proc);
  return children;
}

char ProcessState(pid_t pid) {
  const std::vector<std::string> fields = StatFields(std::to_string(pid));
  return fields.empty() || fields[0].empty() ? '\0' : fields[0][0];
}

}  // namespace velmorin::test
