// The POSIX half of the runner: fork, the descriptors redirected, execv.
#include "tests/cli/CliRunnerPosix.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

#include "tests/support/TempDir.h"

namespace velmorin::test {

namespace {

[[noreturn]] void ExecCli(const CliRun& run, const std::string& in, const std::string& outFile,
                          const std::string& errFile) {
  const auto redirect = [](const std::string& path, int flags, int fd) {
    const int opened = ::open(path.c_str(), flags, 0644);
    if (opened < 0 || ::dup2(opened, fd) < 0) ::_exit(126);
    ::close(opened);
  };
  redirect(in, O_RDONLY, 0);
  // An empty name: standard output is set already.
  if (!outFile.empty()) redirect(outFile, O_WRONLY | O_CREAT | O_TRUNC, 1);
  redirect(errFile, O_WRONLY | O_CREAT | O_TRUNC, 2);
  if (!run.folder.empty() && ::chdir(run.folder.c_str()) != 0) ::_exit(126);
  std::vector<std::string> argv{CliPath()};
  argv.insert(argv.end(), run.args.begin(), run.args.end());
  std::vector<char*> pointers;
  for (std::string& a : argv) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  ::execv(pointers[0], pointers.data());
  ::_exit(127);
}

int Spawn(const CliRun& run, const std::string& in, const std::string& outFile,
          const std::string& errFile) {
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) ExecCli(run, in, outFile, errFile);
  return pid;
}

}  // namespace

int StartCli(const CliRun& run, const std::string& outFile, const std::string& errFile) {
  return Spawn(run, "/dev/null", outFile, errFile);
}

int StartCliWritingTo(const CliRun& run, int outFd, const std::string& errFile,
                      bool ignoreSigpipe) {
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (::dup2(outFd, 1) < 0) ::_exit(126);
    if (ignoreSigpipe) ::signal(SIGPIPE, SIG_IGN);
    ExecCli(run, "/dev/null", "", errFile);
  }
  return pid;
}

int WaitCli(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

CliResult RunCli(const CliRun& run) {
  TempDir scratch;
  const std::string in = scratch.File("in"), out = scratch.File("out"), err = scratch.File("err");
  WriteFileBytes(in, run.input);
  CliResult result;
  result.exitCode = WaitCli(Spawn(run, in, out, err));
  result.out = ReadFileBytes(out);
  result.err = ReadFileBytes(err);
  return result;
}

}  // namespace velmorin::test
