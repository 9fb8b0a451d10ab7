// The watched burner on Windows against real children, the step burner: its
// output through the pipe, its exit code, how it is shown, and Stop, which
// must end it together with what it started, through its job.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/process/WatchedProcess.h"
#include "tests/support/ProcessGoneWin.h"
#include "tests/support/TempDir.h"

using namespace velmorin;
using velmorin::test::ReadFileBytes;
using velmorin::test::TempDir;

namespace {

std::string Steps(const std::string& steps) {
  return std::string(VELMORIN_STEP_BURNER) + " " + steps;
}

using velmorin::test::ProcessGone;

// Reads the pipe until `until` says so, the output ends, or 10 s pass; the
// text without carriage returns.
template <typename Until>
std::string ReadUntil(WatchedProcess& process, Until until) {
  std::string text;
  char buffer[4096];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!until(text) && std::chrono::steady_clock::now() < deadline) {
    const std::ptrdiff_t got = process.ReadOutput(buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    for (std::ptrdiff_t i = 0; i < got; ++i) {
      if (buffer[i] != '\r') text += buffer[i];
    }
  }
  return text;
}

bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

ProcessId NumberAfter(const std::string& text, const std::string& word) {
  const std::size_t at = text.find(word + " ");
  return at == std::string::npos ? -1 : std::stoll(text.substr(at + word.size() + 1));
}

}  // namespace

TEST(WatchedProcessWin, PipeCarriesOutputAndErrorsAndTheExitCodeComesBack) {
  WatchedProcess process;
  ASSERT_TRUE(process.Start(Steps("say:first err:second lines:3:n exit:7"), ChildOutput::Pipe));
  EXPECT_TRUE(process.HasOutput());
  const std::string text = ReadUntil(process, [](const std::string&) { return false; });
  EXPECT_EQ(text, "first\nsecond\nn 1\nn 2\nn 3\n");
  EXPECT_FALSE(process.HasOutput());
  ASSERT_TRUE(WaitUntil([&] { return process.Poll(); }));
  EXPECT_EQ(process.Result(), 7u);
  EXPECT_FALSE(process.AnyAlive());
}

TEST(WatchedProcessWin, StopEndsTheBurnerAndWhatItStartedThroughItsJob) {
  for (const char* steps : {"child forever", "detached forever", "orphan forever"}) {
    SCOPED_TRACE(steps);
    WatchedProcess process;
    ASSERT_TRUE(process.Start(Steps(steps), ChildOutput::Pipe));
    const std::string text = ReadUntil(process, [](const std::string& t) {
      return t.find('\n',
                    t.find("pid ") == std::string::npos ? t.find("grandchild ") : t.find("pid ")) !=
             std::string::npos;
    });
    ProcessId started = NumberAfter(text, "grandchild");
    if (started < 0) started = NumberAfter(text, "pid");
    ASSERT_GT(started, 0) << text;
    EXPECT_FALSE(ProcessGone(started));
    // The job knows the child, whoever its parent is now.
    const std::vector<ProcessId> inJob = process.Descendants();
    EXPECT_NE(std::find(inJob.begin(), inJob.end(), started), inJob.end());
    EXPECT_NE(std::find(inJob.begin(), inJob.end(), process.Id()), inJob.end());

    EXPECT_TRUE(process.ForceEnd());
    EXPECT_TRUE(WaitUntil([&] { return process.Poll() && !process.AnyAlive(); }));
    EXPECT_EQ(process.Result(), kExecFailed);
    EXPECT_TRUE(WaitUntil([&] { return ProcessGone(started); }));
    EXPECT_FALSE(process.ForceEnd()) << "nothing was left to stop";
  }
}

TEST(WatchedProcessWin, BurnerThatEndsByItselfLeavesWhatItStartedAlone) {
  WatchedProcess process;
  ASSERT_TRUE(process.Start(Steps("child exit:0"), ChildOutput::Pipe));
  const std::string text = ReadUntil(
      process, [](const std::string& t) { return t.find("grandchild") != std::string::npos; });
  const ProcessId child = NumberAfter(text, "grandchild");
  ASSERT_GT(child, 0) << text;
  ASSERT_TRUE(WaitUntil([&] { return process.Poll(); }));
  EXPECT_EQ(process.Result(), 0u);
  // Judged by its own exit code; its child is no longer ours to end.
  EXPECT_FALSE(ProcessGone(child));
  EXPECT_FALSE(process.AnyAlive());
  const HANDLE handle = ::OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(child));
  ASSERT_NE(handle, nullptr);
  ::TerminateProcess(handle, 0);
  ::CloseHandle(handle);
}

TEST(WatchedProcessWin, DestroyingTheWatcherEndsARunningBurnerAndItsChild) {
  ProcessId burner = -1;
  ProcessId child = -1;
  {
    WatchedProcess process;
    ASSERT_TRUE(process.Start(Steps("child forever"), ChildOutput::Pipe));
    const std::string text =
        ReadUntil(process, [](const std::string& t) { return t.find('\n') != std::string::npos; });
    burner = process.Id();
    child = NumberAfter(text, "grandchild");
    ASSERT_GT(child, 0) << text;
  }
  EXPECT_TRUE(ProcessGone(burner));
  EXPECT_TRUE(WaitUntil([&] { return ProcessGone(child); }));
}

TEST(WatchedProcessWin, HideStartsTheBurnerWithSwHideAndThePipeWithSwShow) {
  TempDir dir;
  const std::string state = dir.File("startup");
  struct Case {
    ChildOutput output;
    std::string expected;
  };
  // STARTF_USESHOWWINDOW is 1, STARTF_USESTDHANDLES 0x100; SW_HIDE 0, SW_SHOW 5.
  for (const Case& c : {Case{ChildOutput::Discard, "flags 1 show 0\n"},
                        Case{ChildOutput::Inherit, "flags 1 show 5\n"},
                        Case{ChildOutput::Pipe, "flags 257 show 5\n"}}) {
    WatchedProcess process;
    ASSERT_TRUE(process.Start(Steps("show:" + state), c.output));
    ASSERT_TRUE(WaitUntil([&] { return process.Poll(); }));
    EXPECT_EQ(process.Result(), 0u);
    EXPECT_EQ(ReadFileBytes(state), c.expected);
    EXPECT_EQ(process.HasOutput(), c.output == ChildOutput::Pipe);
  }
}

TEST(WatchedProcessWin, ProgramThatCannotStartGivesFailure) {
  for (const char* line : {"Z:\\nonexistent\\burner.exe", "", "   "}) {
    WatchedProcess process;
    EXPECT_FALSE(process.Start(line, ChildOutput::Pipe)) << line;
    EXPECT_FALSE(process.Started());
    EXPECT_EQ(process.Result(), kExecFailed);
    EXPECT_FALSE(process.ForceEnd());
  }
}
