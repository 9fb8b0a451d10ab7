// Running the tests' helper programs as real children, and looking at the
// process table afterwards.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace velmorin::test {

// Sets an environment variable for the children started in its lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (FOld) {
      ::setenv(FName.c_str(), FOld->c_str(), 1);
    } else {
      ::unsetenv(FName.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string FName;
  std::optional<std::string> FOld;
};

struct ChildResult {
  int status = 0;       // as waitpid gives it
  long peakRssKiB = 0;  // the child's peak resident set size
};

// Starts `argv` (argv[0] is the program's path) and waits for it to end.
ChildResult RunChild(const std::vector<std::string>& argv);

// The exit status of a child that RunChildWithAddressSpace couldn't limit.
constexpr int kNoAddressSpaceLimit = 126;

// RunChild with the child's address space limited to `bytes`, as `ulimit -v`
// limits a shell's: where it runs out, allocations fail in the child.
ChildResult RunChildWithAddressSpace(const std::vector<std::string>& argv, std::size_t bytes);

// Starts `argv` with standard output and error going to `outputFile`, and
// returns its pid without waiting.
pid_t StartChild(const std::vector<std::string>& argv, const std::string& outputFile);

// The pids of every live or zombie process whose parent is `parent`.
std::vector<pid_t> ChildrenOf(pid_t parent);

// The state letter of a process in /proc ('R', 'S', 'Z', ...), or '\0' when
// there is no such process.
char ProcessState(pid_t pid);

}  // namespace velmorin::test
