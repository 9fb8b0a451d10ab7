// velmorin-cli on Windows with a real burner, the step burner: a
// velmorin-cli that dies while its burner runs (ended from the task manager,
// crashed) takes the burner and what the burner started with it, through the
// burner's job.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "tests/cli/CliRunnerWin.h"
#include "tests/support/ProcessGoneWin.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::ProcessGone;

bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void EndIfRunning(std::int64_t pid) {
  if (pid <= 0 || ProcessGone(pid)) return;
  if (const HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid))) {
    ::TerminateProcess(process, 1);
    ::CloseHandle(process);
  }
}

class CliWinTest : public test::CliFixture {
 protected:
  CliWinTest() : CliFixture(64) {}

  // The id a step of the burner wrote to `name`, or 0 before it has.
  std::int64_t IdIn(const char* name) {
    const std::string text =
        fs::exists(dir.File(name)) ? test::ReadFileBytes(dir.File(name)) : std::string();
    return text.empty() ? 0 : std::stoll(text);
  }
};

TEST_F(CliWinTest, KilledCliEndsItsBurnerAndWhatTheBurnerStarted) {
  const std::string burner = std::string(VELMORIN_STEP_BURNER) + " pid:" + dir.File("burner.pid") +
                             " childto:" + dir.File("child.pid") + " forever $image";
  ASSERT_EQ(Cli({"add", skeleton, "DontBurn=0", "BurnerCmdLine=" + burner}).exitCode, 0);
  const HANDLE cli = test::StartCliProcess(
      {{"--ini", ini, "serialize", skeleton, "--yes"}, dir.Path().string(), ""}, dir.File("out"),
      dir.File("err"));
  ASSERT_TRUE(WaitUntil([&] { return IdIn("burner.pid") > 0 && IdIn("child.pid") > 0; }))
      << test::ReadFileBytes(dir.File("err"));
  const std::int64_t burnerId = IdIn("burner.pid"), childId = IdIn("child.pid");
  EXPECT_FALSE(ProcessGone(childId));

  ::TerminateProcess(cli, 9);
  ::WaitForSingleObject(cli, INFINITE);
  ::CloseHandle(cli);
  EXPECT_TRUE(WaitUntil([&] { return ProcessGone(burnerId); })) << "the burner outlived us";
  EXPECT_TRUE(WaitUntil([&] { return ProcessGone(childId); })) << "the burner's child outlived us";
  EndIfRunning(burnerId);
  EndIfRunning(childId);
}

// Two slots on Windows: each burner in a job of its own, its output on
// standard error with its slot in front, each number once.
TEST_F(CliWinTest, TwoSlotsBurnAtOnce) {
  const std::string burner = std::string(VELMORIN_STEP_BURNER) + " say:on-$slot sleep:200 $image";
  ASSERT_EQ(
      Cli({"add", skeleton, "NextSeqNum=50", "DontBurn=0", "BurnerCmdLine=" + burner}).exitCode, 0);
  const test::CliResult batch = Cli({"serialize", skeleton, "--count", "6", "--slots", "2",
                                     "--slot-values", "A,B", "--yes", "--json"});
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  std::set<std::int64_t> serials;
  std::istringstream lines(batch.out);
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json json = nlohmann::json::parse(line);
    EXPECT_EQ(json["result"], "ok") << line;
    EXPECT_TRUE(json["slot"] == 1 || json["slot"] == 2) << line;
    serials.insert(json["serial"].get<std::int64_t>());
  }
  EXPECT_EQ(serials, (std::set<std::int64_t>{50, 51, 52, 53, 54, 55}));
  EXPECT_NE(batch.err.find("[1] on-A\n"), std::string::npos) << batch.err;
  EXPECT_NE(batch.err.find("[2] on-B\n"), std::string::npos) << batch.err;
}

}  // namespace
}  // namespace velmorin
