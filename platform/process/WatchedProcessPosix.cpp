#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <set>
#include <thread>

#include "platform/process/ProcessTablePosix.h"
#include "platform/process/ReaperPosix.h"
#include "platform/process/SpawnPosix.h"
#include "platform/process/WatchedProcess.h"
#include "platform/process/WatchedProcessState.h"

#ifdef __linux__
#include <dirent.h>
#include <sys/prctl.h>

#include <fstream>
#include <sstream>
#endif

namespace velmorin {

std::map<pid_t, ProcessEntry> ListProcesses() {
  std::map<pid_t, ProcessEntry> processes;
#ifdef __linux__
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return processes;
  while (const dirent* entry = ::readdir(proc)) {
    if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // "pid (name) state ppid pgrp ...", where the name may hold anything.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(line.substr(close + 1));
    ProcessEntry process;
    long parent = 0;
    long group = 0;
    if (!(fields >> process.State >> parent >> group)) continue;
    process.Parent = static_cast<pid_t>(parent);
    process.Group = static_cast<pid_t>(group);
    processes[static_cast<pid_t>(std::atol(entry->d_name))] = process;
  }
  ::closedir(proc);
#endif
  return processes;
}

bool ProcessEnded(char state) {
  return state == 'Z' || state == 'X';
}

std::vector<pid_t> LiveProcessesBelow(const std::map<pid_t, ProcessEntry>& processes,
                                      const std::function<bool(pid_t, const ProcessEntry&)>& isRoot,
                                      const std::function<bool(pid_t)>& isOutside) {
  std::vector<pid_t> found;
  // 1: below a root, 0: not; filled as the chains are walked.
  std::map<pid_t, int> known;
  for (const auto& [start, startEntry] : processes) {
    std::vector<pid_t> chain;
    int verdict = 0;
    pid_t pid = start;
    while (true) {
      if (const auto k = known.find(pid); k != known.end()) {
        verdict = k->second;
        break;
      }
      const auto p = processes.find(pid);
      if (p == processes.end() || pid <= 1 || isOutside(pid)) break;
      chain.push_back(pid);
      if (isRoot(pid, p->second)) {
        verdict = 1;
        break;
      }
      pid = p->second.Parent;
    }
    for (const pid_t link : chain) known[link] = verdict;
    if (verdict == 1 && !ProcessEnded(startEntry.State)) found.push_back(start);
  }
  return found;
}

std::vector<pid_t> LiveDescendantsOf(const std::map<pid_t, ProcessEntry>& processes,
                                     pid_t ancestor) {
  return LiveProcessesBelow(
      processes,
      [ancestor](pid_t, const ProcessEntry& process) { return process.Parent == ancestor; },
      [ancestor](pid_t pid) { return pid == ancestor; });
}

class PosixState final : public WatchedProcess::State {
 public:
  ~PosixState() override;
  bool Start(const std::string& commandLine, ChildOutput output, WindowShow show) override;
  bool Started() const override { return FId >= 0; }
  bool Running() const override { return FId >= 0 && !FReaped; }
  ProcessId Id() const override { return FId; }
  bool HasOutput(ChildStream stream) const override { return Fd(stream) >= 0; }
  int OutputDescriptor(ChildStream stream) const override { return Fd(stream); }
  std::uint32_t Result() const override { return FResult; }
  bool AskToEnd() override {
    const bool any = Stop(SIGTERM);
    // A stopped process would not see the SIGTERM until continued.
    Stop(SIGCONT);
    return any;
  }
  bool ForceEnd() override { return Stop(SIGKILL); }
  std::ptrdiff_t ReadOutput(ChildStream stream, char* buffer, std::size_t size) override;
  void CloseOutput(ChildStream stream) override;
  int& Fd(ChildStream stream) { return FOutputFds[static_cast<int>(stream)]; }
  int Fd(ChildStream stream) const { return FOutputFds[static_cast<int>(stream)]; }
  bool Poll() override;
  std::vector<ProcessId> Descendants() const override;
  std::vector<int> WaitDescriptors() const override {
    std::vector<int> descriptors;
    for (const int fd : FOutputFds) {
      if (fd >= 0) descriptors.push_back(fd);
    }
    return descriptors;
  }
  bool Stop(int signal);
  bool AnyAlive() const override;
  void Kill() override;
  bool GroupAlive() const;
  void ReapChild(bool block);
  void ReapOrphans();
  void ReleaseSubreaper();

  ProcessId FId = -1;
  ChildPipeEnds FOutputFds = {-1, -1};  // by ChildStream
  bool FReaped = false;
  bool FStopping = false;
  bool FSubreaper = false;       // we turned the flag on and must turn it off
  std::set<ProcessId> FForeign;  // our children from before Start
  std::uint32_t FResult = kExecFailed;
};

PosixState::~PosixState() {
  if (Running() || (FStopping && AnyAlive())) Kill();
  ReapOrphans();
  ReleaseSubreaper();
  CloseOutput(ChildStream::Output);
  CloseOutput(ChildStream::Error);
}

bool PosixState::Start(const std::string& commandLine, ChildOutput output, WindowShow /*show*/) {
  if (FId >= 0) return false;
#ifdef __linux__
  const pid_t self = ::getpid();
  for (const auto& [pid, process] : ListProcesses()) {
    if (process.Parent == self) FForeign.insert(pid);
  }
  int already = 0;
  if (::prctl(PR_GET_CHILD_SUBREAPER, &already) == 0 && already == 0 &&
      ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0) {
    FSubreaper = true;
  }
#endif
  FId = SpawnProcess(commandLine, output, FOutputFds);
  if (FId < 0) ReleaseSubreaper();
  return FId >= 0;
}

std::ptrdiff_t ReadOutputPipe(int& fd, char* buffer, std::size_t size) {
  if (fd < 0) return -1;
  ssize_t got;
  do {
    got = ::read(fd, buffer, size);
  } while (got < 0 && errno == EINTR);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return -1;
  if (got <= 0) {
    // Its end, or a broken pipe, which reads as its end.
    ::close(fd);
    fd = -1;
    return 0;
  }
  return got;
}

std::ptrdiff_t PosixState::ReadOutput(ChildStream stream, char* buffer, std::size_t size) {
  return ReadOutputPipe(Fd(stream), buffer, size);
}

void PosixState::CloseOutput(ChildStream stream) {
  int& fd = Fd(stream);
  if (fd >= 0) ::close(fd);
  fd = -1;
}

void PosixState::ReapChild(bool block) {
  if (!Running()) return;
  int status = 0;
  pid_t waited;
  do {
    waited = ::waitpid(static_cast<pid_t>(FId), &status, block ? 0 : WNOHANG);
  } while (waited < 0 && errno == EINTR);
  if (waited == 0) return;
  FReaped = true;
  // Not our child after all (someone else reaped it): its result is unknown.
  FResult = waited > 0 ? ResultOfWaitStatus(status) : kExecFailed;
}

void PosixState::ReapOrphans() {
#ifdef __linux__
  // Peek first: a child that ran before Start is not ours to reap.
  while (true) {
    siginfo_t info{};
    if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0) return;
    const pid_t pid = info.si_pid;
    if (pid == FId && !FReaped) {
      ReapChild(false);
      continue;
    }
    if (FForeign.count(pid) != 0) return;
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) <= 0) return;
  }
#endif
}

void PosixState::ReleaseSubreaper() {
#ifdef __linux__
  if (FSubreaper) ::prctl(PR_SET_CHILD_SUBREAPER, 0);
#endif
  FSubreaper = false;
}

bool PosixState::Poll() {
  if (!Started()) return false;
  ReapChild(false);
  ReapOrphans();
  // A burner that ended by itself takes our care of its tree with it.
  if (FReaped && !FStopping) ReleaseSubreaper();
  return FReaped;
}

std::vector<ProcessId> PosixState::Descendants() const {
  std::vector<ProcessId> found;
#ifdef __linux__
  if (FId <= 0) return found;
  const pid_t self = ::getpid();
  const auto burner = static_cast<pid_t>(FId);
  const std::map<pid_t, ProcessEntry> processes = ListProcesses();
  const auto isRoot = [&](pid_t pid, const ProcessEntry& process) {
    if (pid == burner) return !FReaped;
    if (process.Group == burner) return true;
    // An orphan of the burner's tree that came back to us.
    return process.Parent == self && FForeign.count(pid) == 0;
  };
  for (const pid_t pid :
       LiveProcessesBelow(processes, isRoot, [self](pid_t pid) { return pid == self; }))
    found.push_back(pid);
#endif
  return found;
}

bool PosixState::Stop(int signal) {
  if (FId <= 0) return false;
  FStopping = true;
  bool any = ::kill(-static_cast<pid_t>(FId), signal) == 0;
  for (const ProcessId pid : Descendants()) {
    if (::kill(static_cast<pid_t>(pid), signal) == 0) any = true;
  }
  return any;
}

bool PosixState::GroupAlive() const {
  if (FId <= 0) return false;
  return ::kill(-static_cast<pid_t>(FId), 0) == 0 || errno == EPERM;
}

bool PosixState::AnyAlive() const {
  if (FId <= 0) return false;
#ifdef __linux__
  // kill() also finds members that have ended and only wait for a parent to
  // reap them; where the first process reaps no orphans (a container) they
  // wait for good. Only a process that still runs counts.
  if (Running()) return true;
  return !Descendants().empty();
#else
  return Running() || GroupAlive();
#endif
}

void PosixState::Kill() {
  Stop(SIGKILL);
  ReapChild(true);
  // What was killed comes back to us as it dies (we are its subreaper);
  // within a bounded time everything is gone and reaped.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (std::chrono::steady_clock::now() < deadline) {
    ReapOrphans();
    if (!AnyAlive()) break;
    Stop(SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ReapOrphans();
}

std::unique_ptr<WatchedProcess::State> WatchedProcess::State::Make(TreeKeeper keeper) {
  if (keeper == TreeKeeper::OwnReaper) return MakeReapedState();
  return std::make_unique<PosixState>();
}

void WatchedProcess::WaitForAny(const std::vector<const WatchedProcess*>& processes,
                                std::chrono::milliseconds timeout) {
  std::vector<pollfd> waited;
  for (const WatchedProcess* process : processes) {
    for (const int fd : process->FState->WaitDescriptors()) waited.push_back({fd, POLLIN, 0});
  }
  // A signal (Ctrl-C) ends the wait early, as it should: the caller looks.
  ::poll(waited.data(), waited.size(), static_cast<int>(timeout.count()));
}

bool WatchedProcess::AsksGently() {
  return true;
}

}  // namespace velmorin
