// The POSIX runner: our splitter, PATH lookup, descriptors, signals and
// process groups. ExecAndWaitWinTest.cpp tests the Windows one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/process/CommandLine.h"
#include "platform/process/ExecAndWait.h"
#include "platform/process/SpawnPosix.h"
#include "tests/serialize/BurnerFixture.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

using test::BurnerLog;
using test::ScopedEnv;
using test::TempDir;
using test::TestBurnerPath;
using Args = std::vector<std::string>;

// What the test burner recorded about its own process.
struct ChildState {
  long pid = 0;
  long pgid = 0;
  std::string sigBlk, sigIgn;
  std::map<int, std::string> fds;
};

ChildState ReadState(const std::string& path) {
  ChildState state;
  std::istringstream in(test::ReadFileBytes(path));
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "pid") fields >> state.pid;
    if (key == "pgid") fields >> state.pgid;
    if (key == "SigBlk:") fields >> state.sigBlk;
    if (key == "SigIgn:") fields >> state.sigIgn;
    if (key == "fd") {
      int fd = -1;
      std::string target;
      fields >> fd >> target;
      state.fds[fd] = target;
    }
  }
  return state;
}

std::string Link(const std::string& path) {
  std::error_code ec;
  return std::filesystem::read_symlink(path, ec).string();
}

// No child of this process is left, running or as a zombie.
void ExpectNoChildren() {
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(ExecAndWait, HandsOverTheArgumentsOfOurSplitterAndNoShell) {
  TempDir dir;
  BurnerLog log(dir);
  const std::string burner = TestBurnerPath();
  const std::string line = burner + " -p '/My Out/Ann''s b.hex' \"x\"\"y\" $HOME;echo `id` a|b";
  EXPECT_EQ(ExecAndWait(line, WindowShow::Normal), 0u);
  ASSERT_EQ(log.Runs().size(), 1u);
  EXPECT_EQ(log.Runs()[0],
            (Args{burner, "-p", "/My Out/Ann's b.hex", "x\"y", "$HOME;echo", "`id`", "a|b"}));
  ExpectNoChildren();
}

TEST(ExecAndWait, GivesTheExitCodeAndFailureForSignalsAndFailedStarts) {
  TempDir dir;
  const std::string burner = TestBurnerPath();
  for (const int code : {0, 1, 7, 200, 255}) {
    ScopedEnv exitCode("VELMORIN_BURNER_EXIT", std::to_string(code));
    EXPECT_EQ(ExecAndWait(burner, WindowShow::Hidden), static_cast<std::uint32_t>(code)) << code;
  }
  for (const int sig : {SIGKILL, SIGTERM, SIGSEGV, SIGPIPE}) {
    ScopedEnv signal("VELMORIN_BURNER_SIGNAL", std::to_string(sig));
    EXPECT_EQ(ExecAndWait(burner, WindowShow::Hidden), kExecFailed) << sig;
  }

  // Programs that cannot be started, including a text file marked executable:
  // without a shell there is nobody to run it.
  test::WriteFileBytes(dir.File("script"), "touch " + dir.File("ran") + "\n");
  ::chmod(dir.File("script").c_str(), 0755);
  test::WriteFileBytes(dir.File("plain"),
                       "\x7f"
                       "ELF garbage");
  ::chmod(dir.File("plain").c_str(), 0644);
  const std::string failing[] = {"",
                                 "   \t ",
                                 dir.File("missing"),
                                 "velmorin-no-such-program-anywhere",
                                 dir.Path().string(),
                                 dir.File("plain"),
                                 dir.File("script"),
                                 "'' " + burner};
  for (const std::string& line : failing) {
    EXPECT_EQ(ExecAndWait(line, WindowShow::Hidden), kExecFailed) << line;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("ran")));
  ExpectNoChildren();
}

TEST(ExecAndWait, LooksUpBareNamesInAbsolutePathFoldersOnly) {
  TempDir dir;
  BurnerLog log(dir);
  std::filesystem::create_directory(dir.File("bin"));
  std::filesystem::copy_file(TestBurnerPath(), dir.File("bin/vburner"));
  std::filesystem::copy_file(TestBurnerPath(), dir.File("vburner"));
  ::chmod(dir.File("bin/vburner").c_str(), 0755);
  ::chmod(dir.File("vburner").c_str(), 0755);
  test::ScopedCurrentPath cwd(dir.Path());

  {
    ScopedEnv path("PATH", "/nonexistent:" + dir.File("bin"));
    EXPECT_EQ(FindProgram("vburner"), dir.File("bin/vburner"));
    EXPECT_EQ(ExecAndWait("vburner one", WindowShow::Hidden), 0u);
  }
  // The current folder holds a "vburner" too, but is never searched, not even
  // through empty, "." or relative PATH entries.
  for (const char* path : {"", ":", ".", "::/nonexistent", "bin", "./bin"}) {
    ScopedEnv env("PATH", path);
    EXPECT_EQ(FindProgram("vburner"), "") << path;
    EXPECT_EQ(ExecAndWait("vburner two", WindowShow::Hidden), kExecFailed) << path;
  }
  // A name with a slash is taken as it stands, relative names included.
  {
    ScopedEnv path("PATH", "");
    EXPECT_EQ(ExecAndWait("./vburner three", WindowShow::Hidden), 0u);
    EXPECT_EQ(ExecAndWait("bin/vburner four", WindowShow::Hidden), 0u);
  }

  const auto runs = log.Runs();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0], (Args{"vburner", "one"}));
  EXPECT_EQ(runs[1], (Args{"./vburner", "three"}));
  EXPECT_EQ(runs[2], (Args{"bin/vburner", "four"}));
}

TEST(ExecAndWait, ChildGetsOnlyStandardDescriptorsAndItsOwnProcessGroup) {
  TempDir dir;
  ScopedEnv state("VELMORIN_BURNER_STATE", dir.File("state"));
  // Descriptors a careless part of the program might leave inheritable.
  const int leakedFile = ::open(dir.File("state").c_str(), O_WRONLY | O_CREAT, 0644);
  int leakedPipe[2];
  ASSERT_GE(leakedFile, 0);
  ASSERT_EQ(::pipe(leakedPipe), 0);

  struct Recorder : ProcessObserver {
    std::vector<ProcessId> started;
    std::vector<std::uint32_t> finished;
    void Started(ProcessId id) override { started.push_back(id); }
    void Finished(std::uint32_t result) override { finished.push_back(result); }
  } observer;

  ScopedEnv exitCode("VELMORIN_BURNER_EXIT", "3");
  EXPECT_EQ(ExecAndWait(TestBurnerPath(), WindowShow::Normal, &observer), 3u);
  const ChildState visible = ReadState(dir.File("state"));
  EXPECT_EQ(visible.fds.size(), 3u);
  EXPECT_EQ(visible.fds.count(leakedFile), 0u);
  EXPECT_EQ(visible.fds.count(leakedPipe[0]), 0u);
  EXPECT_EQ(visible.fds.count(leakedPipe[1]), 0u);
  // Shown: standard output and error are ours.
  EXPECT_EQ(visible.fds.at(1), Link("/proc/self/fd/1"));
  EXPECT_EQ(visible.fds.at(2), Link("/proc/self/fd/2"));
  // Its own process group, named by its pid, which the observer was given.
  EXPECT_EQ(visible.pgid, visible.pid);
  EXPECT_NE(visible.pgid, static_cast<long>(::getpgrp()));
  EXPECT_EQ(observer.started, std::vector<ProcessId>{visible.pid});
  EXPECT_EQ(observer.finished, std::vector<std::uint32_t>{3u});

  // Hidden: standard output and error go nowhere.
  EXPECT_EQ(ExecAndWait(TestBurnerPath(), WindowShow::Hidden), 3u);
  const ChildState hidden = ReadState(dir.File("state"));
  EXPECT_EQ(hidden.fds.size(), 3u);
  EXPECT_EQ(hidden.fds.at(1), "/dev/null");
  EXPECT_EQ(hidden.fds.at(2), "/dev/null");

  ::close(leakedFile);
  ::close(leakedPipe[0]);
  ::close(leakedPipe[1]);
  ExpectNoChildren();
}

TEST(ExecAndWait, ChildStartsWithDefaultSignalsWhateverTheCallerSet) {
  TempDir dir;
  ScopedEnv state("VELMORIN_BURNER_STATE", dir.File("state"));
  struct sigaction ignore {
  }, oldPipe{}, oldInt{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &oldPipe);
  sigaction(SIGINT, &ignore, &oldInt);
  sigset_t block, oldMask;
  sigemptyset(&block);
  sigaddset(&block, SIGUSR1);
  sigaddset(&block, SIGTERM);
  sigprocmask(SIG_BLOCK, &block, &oldMask);

  EXPECT_EQ(ExecAndWait(TestBurnerPath(), WindowShow::Hidden), 0u);

  sigprocmask(SIG_SETMASK, &oldMask, nullptr);
  sigaction(SIGPIPE, &oldPipe, nullptr);
  sigaction(SIGINT, &oldInt, nullptr);
  // The masks are hexadecimal with bit n-1 standing for signal n.
  const ChildState child = ReadState(dir.File("state"));
  const unsigned long long blocked = std::stoull(child.sigBlk, nullptr, 16);
  const unsigned long long ignored = std::stoull(child.sigIgn, nullptr, 16);
  for (const int sig : {SIGUSR1, SIGTERM}) EXPECT_EQ(blocked & (1ull << (sig - 1)), 0u) << sig;
  for (const int sig : {SIGPIPE, SIGINT}) EXPECT_EQ(ignored & (1ull << (sig - 1)), 0u) << sig;
}

// In a process group of its own, a burner reading our terminal would be
// stopped by SIGTTIN for good; it reads /dev/null instead.
TEST(ExecAndWait, ChildDoesNotReadOurTerminal) {
  TempDir dir;
  ScopedEnv state("VELMORIN_BURNER_STATE", dir.File("state"));
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  const int savedStdin = ::dup(STDIN_FILENO);
  ::dup2(terminal, STDIN_FILENO);

  const std::uint32_t result = ExecAndWait(TestBurnerPath(), WindowShow::Hidden);

  ::dup2(savedStdin, STDIN_FILENO);
  ::close(savedStdin);
  ::close(terminal);
  ::close(master);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(ReadState(dir.File("state")).fds.at(0), "/dev/null");
}

extern "C" void CountAlarm(int) {}

TEST(ExecAndWait, WaitSurvivesInterruptingSignals) {
  // A signal handler without SA_RESTART makes waitpid fail with EINTR every
  // 20 ms while the burner sleeps for 300 ms.
  struct sigaction alarm {
  }, oldAlarm{};
  alarm.sa_handler = CountAlarm;
  sigaction(SIGALRM, &alarm, &oldAlarm);
  itimerval every20ms{{0, 20000}, {0, 20000}}, off{};
  setitimer(ITIMER_REAL, &every20ms, nullptr);

  ScopedEnv sleepMs("VELMORIN_BURNER_SLEEP_MS", "300");
  ScopedEnv exitCode("VELMORIN_BURNER_EXIT", "42");
  const std::uint32_t result = ExecAndWait(TestBurnerPath(), WindowShow::Hidden);

  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &oldAlarm, nullptr);
  EXPECT_EQ(result, 42u);
  ExpectNoChildren();
}

}  // namespace
}  // namespace velmorin
