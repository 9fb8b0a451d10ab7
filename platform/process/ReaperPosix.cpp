// A burner behind a reaper of its own. Why a reaper, and not this program as
// the subreaper of every burner: on Linux an orphan goes to its nearest
// subreaper ancestor, and with several burners at once all their orphans
// would come to us alike; a setsid'd child of slot 2's burner could not be
// told from one of slot 3's, so a stop of one slot (its time limit, say)
// would have to guess. Tracking each tree's members on every poll is no way
// out either: a child that detaches and whose parent ends between two polls
// is seen first as our orphan, with nothing to say whose it was. A reaper
// per burner is the nearest subreaper of exactly that burner's tree, so the
// kernel itself keeps each tree apart, however its members fork, setsid or
// lose their parents.
//
// The reaper is a fork of this program that runs a WatchedProcess of its
// own (TreeKeeper::ThisProgram, which is the reaper then) and a
// ProcessTreeStopper, the very code that stops a single burner. It tells
// its owner on a pipe that the burner started (or could not), and how it
// ended or that it was stopped; it ends right after. The owner stops it
// with SIGTERM, and it ends only once its tree has gone. It closes every
// descriptor of ours but the two pipes, so that the INI file's lock and a
// server's connection go with us, not with it.
#include "platform/process/ReaperPosix.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/process/ProcessTablePosix.h"
#include "platform/process/ProcessTreeStopper.h"
#include "platform/process/SpawnPosix.h"

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace velmorin {

namespace {

// What the reaper tells its owner: records of one size, each written at once
// (far below PIPE_BUF, so never torn).
struct ReaperNews {
  enum : std::int32_t { kStarted = 1, kEnded = 2, kStopped = 3 };
  std::int32_t What = 0;
  std::int32_t Unused = 0;
  // kStarted: the burner's id, or -1 when it could not be started;
  // kEnded: its result, as ExecAndWait gives it.
  std::int64_t Value = 0;
};

// Where the reaper keeps its news pipe once it has closed the rest.
constexpr int kNewsFd = 3;
// Room in the output pipe, so that a chatty burner goes on writing while its
// owner is busy saving another slot's image.
constexpr int kOutputPipeSize = 1024 * 1024;
// How long the reaper sleeps at most between two looks at its burner.
constexpr long kReaperWaitNs = 100'000'000;

void Tell(const ReaperNews& news) {
  ssize_t wrote;
  do {
    wrote = ::write(kNewsFd, &news, sizeof news);
  } while (wrote < 0 && errno == EINTR);
  // An owner that has gone hears nothing; the reaper goes on all the same.
}

void CloseDescriptorsFrom(int first) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  ::closefrom(first);
#else
  const long limit = ::sysconf(_SC_OPEN_MAX);
  const int last = limit > 0 && limit < 65536 ? static_cast<int>(limit) : 65536;
  for (int fd = first; fd < last; ++fd) ::close(fd);
#endif
}

void ToNullDevice(int fd) {
  const int null = ::open("/dev/null", O_RDWR);
  if (null < 0) {
    ::close(fd);
    return;
  }
  if (null != fd) {
    ::dup2(null, fd);
    ::close(null);
  }
}

// The reaper's whole life, in the forked child.
[[noreturn]] void RunReaper(const std::string& commandLine, ChildOutput output, int newsFd,
                            int outputFd, pid_t owner) {
  // Out of the terminal's process group: Ctrl-C is the owner's to act on,
  // and the owner stops us. SIGTERM and SIGCHLD are waited for below; the
  // burner gets the usual signals back when it starts (SpawnProcess).
  ::setpgid(0, 0);
  sigset_t waited;
  sigemptyset(&waited);
  sigaddset(&waited, SIGTERM);
  sigaddset(&waited, SIGCHLD);
  ::sigprocmask(SIG_BLOCK, &waited, nullptr);
  for (const int sig : {SIGINT, SIGHUP, SIGQUIT, SIGPIPE}) ::signal(sig, SIG_IGN);
  ::signal(SIGTERM, SIG_DFL);
  ::signal(SIGCHLD, SIG_DFL);
#ifdef __linux__
  // An owner that dies without a word (SIGKILL, a crash) leaves no burner behind.
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif

  const int news = ::fcntl(newsFd, F_DUPFD, kNewsFd + 8);
  if (news < 0) ::_exit(0);
  if (output == ChildOutput::Pipe) {
    ::dup2(outputFd, STDOUT_FILENO);
    ::dup2(outputFd, STDERR_FILENO);
  }
  ::dup2(news, kNewsFd);
  ::fcntl(kNewsFd, F_SETFD, FD_CLOEXEC);
  CloseDescriptorsFrom(kNewsFd + 1);
  // An owner that has gone already (before the death signal was asked for,
  // even) has no chip to burn.
  if (::getppid() != owner) ::_exit(0);

  WatchedProcess burner;
  const bool started =
      burner.Start(commandLine, output == ChildOutput::Pipe ? ChildOutput::Inherit : output);
  // Only the burner's tree holds the output pipe now: its end is theirs.
  if (output == ChildOutput::Pipe) {
    ToNullDevice(STDOUT_FILENO);
    ToNullDevice(STDERR_FILENO);
  }
  ReaperNews told;
  told.What = ReaperNews::kStarted;
  told.Value = started ? burner.Id() : -1;
  Tell(told);
  if (!started) ::_exit(0);
  bool stop = false;
  while (true) {
    if (stop) {
      ProcessTreeStopper(burner).Run();
      // The last of the tree may have ended after the stopper's last look:
      // reaped here, so that no zombie of it passes on to init.
      while (::waitpid(-1, nullptr, WNOHANG) > 0) {
      }
      told.What = ReaperNews::kStopped;
      told.Value = 0;
      Tell(told);
      ::_exit(0);
    }
    if (burner.Poll()) {
      told.What = ReaperNews::kEnded;
      told.Value = burner.Result();
      Tell(told);
      ::_exit(0);
    }
    const timespec wait{0, kReaperWaitNs};
    if (::sigtimedwait(&waited, nullptr, &wait) == SIGTERM) stop = true;
  }
}

class ReapedState final : public WatchedProcess::State {
 public:
  ~ReapedState() override;
  bool Start(const std::string& commandLine, ChildOutput output) override;
  bool Started() const override { return FBurner >= 0; }
  bool Running() const override { return Started() && !FReaperGone; }
  ProcessId Id() const override { return FBurner; }
  bool HasOutput() const override { return FOutputFd >= 0; }
  int OutputDescriptor() const override { return FOutputFd; }
  std::ptrdiff_t ReadOutput(char* buffer, std::size_t size) override {
    return ReadOutputPipe(FOutputFd, buffer, size);
  }
  void CloseOutput() override { CloseFd(FOutputFd); }
  bool Poll() override;
  std::uint32_t Result() const override { return FResult; }
  bool AskToEnd() override;
  bool ForceEnd() override;
  // The reaper ends only once its tree has gone (after a stop) or the
  // burner has ended by itself (and what it left is none of ours).
  bool AnyAlive() const override { return Running(); }
  void Kill() override;
  std::vector<ProcessId> Descendants() const override;
  std::vector<int> WaitDescriptors() const override;

 private:
  static void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  void ReadNews();
  void ReapReaper(bool block);
  void SignalTree(int signal) const;

  pid_t FReaper = -1;
  ProcessId FBurner = -1;
  int FNewsFd = -1;
  int FOutputFd = -1;
  bool FReaperGone = false;
  std::uint32_t FResult = kExecFailed;
  std::string FPartialNews;
};

ReapedState::~ReapedState() {
  if (Running()) Kill();
  if (FReaper > 0 && !FReaperGone) ReapReaper(true);
  CloseFd(FNewsFd);
  CloseFd(FOutputFd);
}

bool ReapedState::Start(const std::string& commandLine, ChildOutput output) {
  if (FReaper >= 0) return false;
  int news[2] = {-1, -1};
  int out[2] = {-1, -1};
  const auto closeAll = [&] {
    for (int* fd : {&news[0], &news[1], &out[0], &out[1]}) CloseFd(*fd);
  };
  if (::pipe2(news, O_CLOEXEC) != 0) return false;
  if (output == ChildOutput::Pipe) {
    if (::pipe2(out, O_CLOEXEC) != 0) {
      closeAll();
      return false;
    }
    // Only our end is non-blocking, as SpawnProcess makes it.
    const int flags = ::fcntl(out[0], F_GETFL);
    if (flags < 0 || ::fcntl(out[0], F_SETFL, flags | O_NONBLOCK) != 0) {
      closeAll();
      return false;
    }
#ifdef F_SETPIPE_SZ
    ::fcntl(out[0], F_SETPIPE_SZ, kOutputPipeSize);  // room, where the system grants it
#endif
  }
  const pid_t owner = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) {
    closeAll();
    return false;
  }
  if (pid == 0) RunReaper(commandLine, output, news[1], out[1], owner);
  FReaper = pid;
  CloseFd(news[1]);
  CloseFd(out[1]);
  FNewsFd = news[0];
  FOutputFd = out[0];

  // The first news, waited for: whether the burner started.
  ReaperNews first;
  std::size_t got = 0;
  auto* bytes = reinterpret_cast<char*>(&first);
  while (got < sizeof first) {
    const ssize_t n = ::read(FNewsFd, bytes + got, sizeof first - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got < sizeof first || first.What != ReaperNews::kStarted || first.Value < 0) {
    ReapReaper(true);
    CloseFd(FOutputFd);
    return false;
  }
  FBurner = first.Value;
  const int flags = ::fcntl(FNewsFd, F_GETFL);
  if (flags >= 0) ::fcntl(FNewsFd, F_SETFL, flags | O_NONBLOCK);
  return true;
}

void ReapedState::ReadNews() {
  char buffer[256];
  while (FNewsFd >= 0) {
    const ssize_t n = ::read(FNewsFd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
      CloseFd(FNewsFd);
      break;
    }
    FPartialNews.append(buffer, static_cast<std::size_t>(n));
  }
  while (FPartialNews.size() >= sizeof(ReaperNews)) {
    ReaperNews news;
    std::memcpy(&news, FPartialNews.data(), sizeof news);
    FPartialNews.erase(0, sizeof news);
    if (news.What == ReaperNews::kEnded) FResult = static_cast<std::uint32_t>(news.Value);
    if (news.What == ReaperNews::kStopped) FResult = kExecFailed;
  }
}

void ReapedState::ReapReaper(bool block) {
  if (FReaper <= 0 || FReaperGone) return;
  int status = 0;
  pid_t waited;
  do {
    waited = ::waitpid(FReaper, &status, block ? 0 : WNOHANG);
  } while (waited < 0 && errno == EINTR);
  if (waited == 0) return;
  FReaperGone = true;
  // What it told before it ended is all in the pipe now.
  if (FNewsFd >= 0) {
    const int flags = ::fcntl(FNewsFd, F_GETFL);
    if (flags >= 0) ::fcntl(FNewsFd, F_SETFL, flags & ~O_NONBLOCK);
  }
  ReadNews();
  CloseFd(FNewsFd);
}

bool ReapedState::Poll() {
  if (!Started()) return false;
  ReadNews();
  ReapReaper(false);
  return FReaperGone;
}

bool ReapedState::AskToEnd() {
  if (!Running()) return false;
  return ::kill(FReaper, SIGTERM) == 0;
}

void ReapedState::SignalTree(int signal) const {
  for (const pid_t pid : LiveDescendantsOf(ListProcesses(), FReaper)) ::kill(pid, signal);
}

bool ReapedState::ForceEnd() {
  if (!Running()) return false;
  // The reaper kills its tree itself once its grace is over; this is the
  // same, from here, should it be slow to.
  SignalTree(SIGKILL);
  ::kill(FReaper, SIGTERM);
  return true;
}

void ReapedState::Kill() {
  if (!Running()) return;
  SignalTree(SIGKILL);
  ::kill(FReaper, SIGKILL);
  ReapReaper(true);
  FResult = kExecFailed;
}

std::vector<ProcessId> ReapedState::Descendants() const {
  std::vector<ProcessId> found;
  if (!Running()) return found;
  for (const pid_t pid : LiveDescendantsOf(ListProcesses(), FReaper)) found.push_back(pid);
  return found;
}

std::vector<int> ReapedState::WaitDescriptors() const {
  std::vector<int> descriptors;
  for (const int fd : {FOutputFd, FNewsFd}) {
    if (fd >= 0) descriptors.push_back(fd);
  }
  return descriptors;
}

}  // namespace

std::unique_ptr<WatchedProcess::State> MakeReapedState() {
  return std::make_unique<ReapedState>();
}

}  // namespace velmorin
