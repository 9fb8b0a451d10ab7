// The Windows runner against a real child, the test burner: what reaches
// CreateProcessA (the command line as text, the show value, no inherited
// handles, normal priority, our folder and environment) and what comes back.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/process/ExecAndWait.h"
#include "tests/serialize/BurnerFixture.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

using test::BurnerLog;
using test::ScopedEnv;
using test::TempDir;
using test::TestBurnerPath;
using Args = std::vector<std::string>;

// What the test burner recorded about its own start, by key ("cmdline" holds
// the rest of its line).
std::map<std::string, std::string> ReadState(const std::string& path) {
  std::map<std::string, std::string> state;
  std::istringstream in(test::ReadFileBytes(path));
  for (std::string line; std::getline(in, line);) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    state[line.substr(0, blank)] = line.substr(blank + 1);
  }
  return state;
}

class ExecAndWaitWin : public ::testing::Test {
 protected:
  ExecAndWaitWin() : stateFile(dir.File("state")), stateEnv("VELMORIN_BURNER_STATE", stateFile) {}

  std::map<std::string, std::string> State() const { return ReadState(stateFile); }

  TempDir dir;
  std::string stateFile;
  ScopedEnv stateEnv;
  const std::string burner = TestBurnerPath();
};

TEST_F(ExecAndWaitWin, GivesTheWhole32BitExitCode) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"0", 0u},
      {"1", 1u},
      {"7", 7u},
      {"256", 256u},  // not cut to a byte as on POSIX
      {"259", 259u},  // the value of STILL_ACTIVE, read after the end
      {"0x7FFFFFFF", 0x7FFFFFFFu},
      {"0xFFFFFFFE", 0xFFFFFFFEu},
      {"0xFFFFFFFF", kExecFailed},  // indistinguishable from a failed start
  };
  for (const auto& [code, result] : cases) {
    ScopedEnv exitCode("VELMORIN_BURNER_EXIT", code);
    EXPECT_EQ(ExecAndWait(burner, WindowShow::Hidden), result) << code;
  }
  ScopedEnv killed("VELMORIN_BURNER_SIGNAL", "1");
  EXPECT_EQ(ExecAndWait(burner, WindowShow::Hidden), 0xC000013Au);
}

TEST_F(ExecAndWaitWin, ProgramsThatCannotStartGiveFailure) {
  test::WriteFileBytes(dir.File("text.exe"), "not a program\r\n");
  std::filesystem::create_directory(dir.File("folder.exe"));
  const std::string lines[] = {
      "",
      "   ",
      dir.File("missing.exe"),
      dir.File("missing.exe") + " -p x.hex",
      "velmorin-no-such-program-anywhere -p x.hex",
      dir.File("text.exe"),
      dir.File("folder.exe"),
  };
  for (const std::string& line : lines) {
    EXPECT_EQ(ExecAndWait(line, WindowShow::Normal), kExecFailed) << line;
  }
  EXPECT_FALSE(std::filesystem::exists(stateFile));
}

TEST_F(ExecAndWaitWin, ShowValueReachesTheChildsStartupInformation) {
  for (const WindowShow show : {WindowShow::Hidden, WindowShow::Normal}) {
    // The system's show-window values: SW_HIDE and SW_SHOW.
    const int shown = show == WindowShow::Hidden ? 0 : 5;
    SCOPED_TRACE(shown);
    ASSERT_EQ(ExecAndWait(burner, show), 0u);
    const auto state = State();
    EXPECT_EQ(std::stoul(state.at("flags")) & STARTF_USESHOWWINDOW, 0u + STARTF_USESHOWWINDOW);
    EXPECT_EQ(std::stoi(state.at("show")), shown);
  }
}

// The line goes over as text: the platform does not read apostrophes as
// quotes, so a path in apostrophes reaches the burner as its own line holds
// it, and the burner's C run-time splits it at the blank.
TEST_F(ExecAndWaitWin, CommandLineReachesTheChildAsText) {
  BurnerLog log(dir);
  const struct {
    std::string line;
    Args args;  // after the program name
  } cases[] = {
      {burner + " -p C:\\out\\board_17.hex -v", {"-p", "C:\\out\\board_17.hex", "-v"}},
      {burner + " -p 'C:\\My Out\\board_17.hex' -v", {"-p", "'C:\\My", "Out\\board_17.hex'", "-v"}},
      {burner + " -p 'C:\\Ann''s Out\\b_1.hex' -v", {"-p", "'C:\\Ann''s", "Out\\b_1.hex'", "-v"}},
      {burner + " -p C:\\Ann's\\b_1.hex -v", {"-p", "C:\\Ann's\\b_1.hex", "-v"}},
      {burner + " -p  -v", {"-p", "-v"}},
      {burner + " $HOME;echo %PATH% a|b&c", {"$HOME;echo", "%PATH%", "a|b&c"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    std::filesystem::remove(log.Path());
    ASSERT_EQ(ExecAndWait(c.line, WindowShow::Hidden), 0u);
    EXPECT_EQ(State().at("cmdline"), c.line);
    Args expected{burner};
    expected.insert(expected.end(), c.args.begin(), c.args.end());
    ASSERT_EQ(log.Runs().size(), 1u);
    EXPECT_EQ(log.Runs()[0], expected);
  }
}

TEST_F(ExecAndWaitWin, ChildInheritsNoHandle) {
  // A signalled event, inheritable: only a child started with handle
  // inheritance on can see it.
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const HANDLE event = ::CreateEventA(&inheritable, TRUE, TRUE, nullptr);
  ASSERT_NE(event, nullptr);
  ScopedEnv handle("VELMORIN_BURNER_HANDLE",
                   std::to_string(reinterpret_cast<std::uintptr_t>(event)));

  // The check itself works: a child that does inherit sees the event.
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = burner;
  ASSERT_TRUE(::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &startup, &process));
  ::WaitForSingleObject(process.hProcess, INFINITE);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  const std::string inheritedState = State().at("handle");
  EXPECT_EQ(inheritedState.substr(inheritedState.find(' ') + 1), "1");

  ASSERT_EQ(ExecAndWait(burner, WindowShow::Normal), 0u);
  const std::string state = State().at("handle");
  EXPECT_EQ(state.substr(state.find(' ') + 1), "0");
  ::CloseHandle(event);
}

TEST_F(ExecAndWaitWin, ChildRunsInOurFolderWithOurEnvironmentAtNormalPriority) {
  std::filesystem::create_directory(dir.File("work"));
  test::ScopedCurrentPath cwd(dir.File("work"));
  // Below normal would pass on to a child started without a priority class.
  const DWORD ownPriority = ::GetPriorityClass(::GetCurrentProcess());
  ::SetPriorityClass(::GetCurrentProcess(), BELOW_NORMAL_PRIORITY_CLASS);
  const std::uint32_t result = ExecAndWait(burner, WindowShow::Hidden);
  ::SetPriorityClass(::GetCurrentProcess(), ownPriority);

  ASSERT_EQ(result, 0u);  // the state file named in our environment was written
  const auto state = State();
  EXPECT_EQ(std::filesystem::path(state.at("cwd")), std::filesystem::current_path());
  EXPECT_EQ(std::stoul(state.at("priority")), 0u + NORMAL_PRIORITY_CLASS);
}

TEST_F(ExecAndWaitWin, WaitsForTheEndAndTellsTheObserver) {
  struct Recorder : ProcessObserver {
    std::vector<ProcessId> started;
    std::vector<std::uint32_t> finished;
    void Started(ProcessId id) override { started.push_back(id); }
    void Finished(std::uint32_t result) override { finished.push_back(result); }
  } observer;
  ScopedEnv sleepMs("VELMORIN_BURNER_SLEEP_MS", "300");
  ScopedEnv exitCode("VELMORIN_BURNER_EXIT", "42");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ExecAndWait(burner, WindowShow::Hidden, &observer), 42u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(observer.started, std::vector<ProcessId>{std::stoll(State().at("pid"))});
  EXPECT_EQ(observer.finished, std::vector<std::uint32_t>{42u});
}

}  // namespace
}  // namespace velmorin
