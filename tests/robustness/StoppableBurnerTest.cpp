// The burner stopped without a window, as Ctrl-C on the command line stops it:
// the stop sequence reaches what the burner detached into a session of its
// own, gives a burner that obeys SIGTERM no more time than it needs, kills one
// that ignores it after the grace, and leaves nothing behind, not even a zombie.
// Several burners at once, each behind a reaper of its own, keep their trees
// apart.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <thread>

#include "platform/process/ProcessTreeStopper.h"
#include "platform/process/WatchedProcess.h"
#include "serialize/StoppableBurnerRunner.h"
#include "tests/robustness/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using test::WriteFileBytes;

struct StopCase {
  const char* name;
  // A shell script; PIDFILE stands for the file the detached child's pid goes to.
  const char* script;
  bool deafToTerm;  // only SIGKILL ends it
};

void PrintTo(const StopCase& c, std::ostream* out) {
  *out << c.name;
}

// The detached child's pid once it is written, else empty.
std::string PidText(const std::string& pidFile) {
  std::ifstream in(pidFile);
  std::string text;
  std::getline(in, text);
  return text;
}

class StoppableBurnerTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(StoppableBurnerTest, StopEndsTheBurnerAndWhatItDetached) {
  test::TempDir dir;
  const std::string pidFile = dir.File("detached.pid");
  std::string script = GetParam().script;
  for (std::size_t at; (at = script.find("PIDFILE")) != std::string::npos;) {
    script.replace(at, 7, pidFile);
  }
  WriteFileBytes(dir.File("burner.sh"), script);

  std::atomic<bool> stop{false};
  Clock::time_point raised;
  // Raised once the detached child is up, as the operator's Ctrl-C would be.
  std::thread operatorThread([&] {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline && PidText(pidFile).empty()) {
      std::this_thread::sleep_for(milliseconds(5));
    }
    raised = Clock::now();
    stop = true;
  });
  StoppableBurnerRunner runner(stop);
  const BurnOutcome outcome =
      runner.Run("/bin/sh " + dir.File("burner.sh"), WindowShow::Hidden, {});
  const auto returned = Clock::now();
  operatorThread.join();
  const auto took = std::chrono::duration_cast<milliseconds>(returned - raised);

  EXPECT_TRUE(outcome.Started);
  EXPECT_TRUE(outcome.Aborted);
  EXPECT_FALSE(outcome.Succeeded());
  if (GetParam().deafToTerm) {
    EXPECT_GE(took, ProcessTreeStopper::kGrace);
    EXPECT_LT(took, ProcessTreeStopper::kGrace + milliseconds(1500));
  } else {
    EXPECT_LT(took, ProcessTreeStopper::kGrace);
  }
  const std::string pid = PidText(pidFile);
  ASSERT_FALSE(pid.empty()) << "the burner never detached its child";
  const pid_t detached = std::stoi(pid);
  EXPECT_EQ(test::ProcessState(detached), '\0') << "the detached child is left";
  EXPECT_EQ(test::ChildrenOf(::getpid()), std::vector<pid_t>{});
}

INSTANTIATE_TEST_SUITE_P(
    Burners, StoppableBurnerTest,
    ::testing::Values(
        StopCase{"ObeysTerm",
                 "setsid sh -c 'echo $$ > PIDFILE; exec sleep 1000' &\n"
                 "while :; do sleep 1; done\n",
                 false},
        StopCase{"DeafToTermAndSoIsWhatItDetached",
                 "trap '' TERM\n"
                 "setsid sh -c 'trap \"\" TERM; echo $$ > PIDFILE; while :; do sleep 1; done' &\n"
                 "while :; do sleep 1; done\n",
                 true}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// A stop asked for before the burn keeps the burner from starting; one that
// is never asked for leaves the burner to be judged by its exit code.
TEST(StoppableBurner, StopBeforeTheStartAndNoStopAtAll) {
  test::TempDir dir;
  const std::string marker = dir.File("ran");
  WriteFileBytes(dir.File("burner.sh"), "echo > " + marker + "\nexit 3\n");
  const std::string commandLine = "/bin/sh " + dir.File("burner.sh");

  std::atomic<bool> stop{true};
  StoppableBurnerRunner runner(stop);
  BurnOutcome outcome = runner.Run(commandLine, WindowShow::Hidden, {});
  EXPECT_FALSE(outcome.Started);
  EXPECT_TRUE(outcome.Aborted);
  EXPECT_FALSE(std::filesystem::exists(marker));

  stop = false;
  outcome = runner.Run(commandLine, WindowShow::Hidden, {});
  EXPECT_TRUE(outcome.Started);
  EXPECT_FALSE(outcome.Aborted);
  EXPECT_EQ(outcome.ExitCode, 3u);
  EXPECT_TRUE(std::filesystem::exists(marker));
  EXPECT_EQ(test::ChildrenOf(::getpid()), std::vector<pid_t>{});
}

// Two burners behind reapers of their own, each with a child in a session of
// its own: the orphans go to each one's reaper, not to us; a stop of one ends
// that burner and its child and leaves the other's tree as it was.
TEST(StoppableBurner, ReapersKeepEachTreeApart) {
  test::TempDir dir;
  std::vector<std::unique_ptr<WatchedProcess>> burners;
  std::vector<pid_t> detached;
  for (const char* name : {"a", "b"}) {
    const std::string pidFile = dir.File(std::string(name) + ".pid");
    // The detached child's parent ends at once: it is an orphan from the start.
    WriteFileBytes(dir.File(std::string(name) + ".sh"),
                   "sh -c 'setsid sh -c \"echo \\$\\$ > " + pidFile +
                       "; exec sleep 1000\" &'\nwhile :; do sleep 1; done\n");
    burners.push_back(std::make_unique<WatchedProcess>(TreeKeeper::OwnReaper));
    ASSERT_TRUE(burners.back()->Start("/bin/sh " + dir.File(std::string(name) + ".sh"),
                                      ChildOutput::Discard));
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline && PidText(pidFile).empty()) {
      std::this_thread::sleep_for(milliseconds(5));
    }
    ASSERT_FALSE(PidText(pidFile).empty());
    detached.push_back(std::stoi(PidText(pidFile)));
  }
  EXPECT_EQ(test::ChildrenOf(::getpid()).size(), 2u) << "an orphan came back to us";
  const std::vector<ProcessId> inA = burners[0]->Descendants();
  EXPECT_NE(std::find(inA.begin(), inA.end(), detached[0]), inA.end());
  EXPECT_EQ(std::find(inA.begin(), inA.end(), detached[1]), inA.end());

  ProcessTreeStopper(*burners[0]).Run();
  EXPECT_EQ(test::ProcessState(detached[0]), '\0');
  EXPECT_EQ(test::ProcessState(static_cast<pid_t>(burners[0]->Id())), '\0');
  EXPECT_NE(test::ProcessState(detached[1]), '\0') << "the stop reached the other tree";
  EXPECT_FALSE(burners[1]->Poll());
  ProcessTreeStopper(*burners[1]).Run();
  EXPECT_EQ(test::ProcessState(detached[1]), '\0');
  EXPECT_EQ(test::ChildrenOf(::getpid()), std::vector<pid_t>{});
}

// Behind a reaper, a burner that ends by itself is judged by its own exit
// code, its output comes through the pipe, and one that can't start is told.
TEST(StoppableBurner, ReapedBurnerEndsAsItWould) {
  test::TempDir dir;
  WriteFileBytes(dir.File("burner.sh"), "echo burned\nexit 3\n");
  WatchedProcess burner(TreeKeeper::OwnReaper);
  ASSERT_TRUE(burner.Start("/bin/sh " + dir.File("burner.sh"), ChildOutput::Pipe));
  std::string output;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!burner.Poll() && Clock::now() < deadline) {
    WatchedProcess::WaitForAny({&burner}, milliseconds(10));
  }
  char buffer[64];
  for (std::ptrdiff_t got; (got = burner.ReadOutput(buffer, sizeof buffer)) > 0;) {
    output.append(buffer, static_cast<std::size_t>(got));
  }
  EXPECT_EQ(burner.Result(), 3u);
  EXPECT_EQ(output, "burned\n");

  WatchedProcess missing(TreeKeeper::OwnReaper);
  EXPECT_FALSE(missing.Start(dir.File("no-such-burner"), ChildOutput::Pipe));
  EXPECT_FALSE(missing.Started());
  EXPECT_EQ(test::ChildrenOf(::getpid()), std::vector<pid_t>{});
}

}  // namespace
}  // namespace velmorin
