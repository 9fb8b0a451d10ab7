// velmorin-cli with real burners, signals and a peer stamper: what needs
// POSIX processes, shell scripts as burners, and srec_cat.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "image/ObjImage.h"
#include "tests/cli/CliRunnerPosix.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::RunCli;
using test::TempDir;

class CliProcessTest : public test::CliFixture {
 protected:
  CliProcessTest() : CliFixture(64) {}

  // A burner: a shell script with `body`, made executable.
  std::string Burner(const std::string& name, const std::string& body) {
    const std::string path = dir.File(name);
    test::WriteFileBytes(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
  }

  // The profile with a burner, numbers from 1000, and the production record on.
  void AddProfile(const std::string& burner) {
    ASSERT_EQ(Cli({"add", skeleton, "NextSeqNum=1000", "DontBurn=0", "OutputFolder=" + dir.File(""),
                   "BurnerCmdLine=" + burner + " $image"})
                  .exitCode,
              0);
    test::WriteFileBytes(ini, test::ReadFileBytes(ini) + "[Options]\nProductionLog=record.csv\n");
  }

  std::string Stored(const std::string& key) {
    const CliResult shown = Cli({"show", skeleton, "--json"});
    return nlohmann::json::parse(shown.out)["settings"][key].dump();
  }

  static std::vector<nlohmann::json> JsonLines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }
};

// The batch stops at the first image that is not done, and says why: exit 3.
TEST_F(CliProcessTest, FailingBurnerStopsTheBatch) {
  AddProfile(Burner("burn", "case \"$1\" in *_1001.hex) exit 9;; esac\nexit 0\n"));
  const CliResult batch = Cli({"serialize", skeleton, "--count", "5", "--yes", "--json"});
  EXPECT_EQ(batch.exitCode, 3) << batch.err;
  const auto lines = JsonLines(batch.out);
  ASSERT_EQ(lines.size(), 2u) << batch.out;
  EXPECT_EQ(lines[0]["result"], "ok");
  EXPECT_EQ(lines[0]["exit_code"], 0);
  EXPECT_EQ(lines[1]["serial"], 1001);
  EXPECT_EQ(lines[1]["result"], "burner failed");
  EXPECT_EQ(lines[1]["exit_code"], 9);
  EXPECT_EQ(Stored("NextSeqNum"), "1002");
  EXPECT_FALSE(fs::exists(dir.File("board_1002.hex")));

  // A burner that can't be started is an image not done as well.
  ASSERT_EQ(Cli({"set", skeleton, "BurnerCmdLine=" + dir.File("no-such-burner")}).exitCode, 0);
  const CliResult unstarted = Cli({"serialize", skeleton, "--yes", "--json"});
  EXPECT_EQ(unstarted.exitCode, 3);
  EXPECT_EQ(JsonLines(unstarted.out).at(0)["exit_code"], nullptr);
  EXPECT_EQ(JsonLines(unstarted.out).at(0)["result"], "burner failed");
}

// Nobody to ask for a chip: refused before a number is taken.
TEST_F(CliProcessTest, NoTerminalAndNoYesTakesNoNumber) {
  AddProfile(Burner("burn", "exit 0\n"));
  const std::string before = test::ReadFileBytes(ini);
  const CliResult refused = Cli({"serialize", skeleton, "--count", "3"}, "\n\n\n");
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_NE(refused.err.find("--yes"), std::string::npos) << refused.err;
  EXPECT_EQ(test::ReadFileBytes(ini), before);
  EXPECT_FALSE(fs::exists(dir.File("board_1000.hex")));
  EXPECT_FALSE(fs::exists(dir.File("record.csv")));
}

// SIGINT during a burner that started a child in a session of its own ends
// both, as Abort does: the number stays used, the record says aborted, and
// a second copy was refused with 4 while the first ran.
TEST_F(CliProcessTest, InterruptEndsTheBurnerAndWhatItStarted) {
  AddProfile(Burner("slow",
                    "setsid sleep 300 & echo $! > child.pid\necho $$ > burner.pid\n"
                    "sleep 300\n"));
  const int pid =
      test::StartCli({{"--ini", ini, "serialize", skeleton, "--count", "3", "--yes", "--json"},
                      dir.Path().string(),
                      ""},
                     dir.File("out"), dir.File("err"));
  const auto pidIn = [&](const char* name) {
    const std::string text =
        fs::exists(dir.File(name)) ? test::ReadFileBytes(dir.File(name)) : std::string();
    return text.empty() ? 0 : std::stoi(text);
  };
  for (int i = 0; i < 500 && (pidIn("child.pid") == 0 || pidIn("burner.pid") == 0); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const int child = pidIn("child.pid"), burner = pidIn("burner.pid");
  ASSERT_GT(child, 0);
  ASSERT_GT(burner, 0);

  const CliResult second = Cli({"serialize", skeleton, "--yes"});
  EXPECT_EQ(second.exitCode, 4) << second.err;

  ::kill(pid, SIGINT);
  EXPECT_EQ(test::WaitCli(pid), 130);
  EXPECT_NE(::kill(child, 0), 0) << "the detached child still runs";
  EXPECT_NE(::kill(burner, 0), 0) << "the burner still runs";
  const auto lines = JsonLines(test::ReadFileBytes(dir.File("out")));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["result"], "aborted");
  const std::string record = test::ReadFileBytes(dir.File("record.csv"));
  EXPECT_NE(record.find(",1000," + dir.File("board_1000.hex") + ",aborted,"), std::string::npos)
      << record;
  EXPECT_EQ(Stored("NextSeqNum"), "1001");
}

// A reader that leaves after the first JSON line (`| head -1`), with SIGPIPE
// as a shell leaves it and ignored as a systemd service starts us: the line
// of the number under way is lost, so the batch stops before the next number
// with exit 1 and says why; what was done stays recorded as done.
TEST_F(CliProcessTest, ReaderThatLeavesStopsTheBatchWithExit1) {
  // Every burn after a run's first waits until the reader has gone.
  AddProfile(Burner("burn",
                    "if [ -f started ]; then while [ ! -f gone ]; do sleep 0.01; done; fi\n"
                    "touch started\n"));
  for (const bool ignoreSigpipe : {false, true}) {
    SCOPED_TRACE(ignoreSigpipe ? "SIGPIPE ignored" : "SIGPIPE as a shell leaves it");
    fs::remove(dir.File("started"));
    fs::remove(dir.File("gone"));
    const std::string first = Stored("NextSeqNum");
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    const int pid = test::StartCliWritingTo(
        {{"--ini", ini, "serialize", skeleton, "--count", "5", "--yes", "--json"},
         dir.Path().string(),
         ""},
        pipe[1], dir.File("err"), ignoreSigpipe);
    ::close(pipe[1]);
    std::string line;
    char c = 0;
    while (line.find('\n') == std::string::npos && ::read(pipe[0], &c, 1) == 1) line += c;
    ::close(pipe[0]);
    test::WriteFileBytes(dir.File("gone"), "");
    EXPECT_EQ(test::WaitCli(pid), 1);
    const int serial = std::stoi(first);
    EXPECT_EQ(nlohmann::json::parse(line)["serial"], serial);
    EXPECT_EQ(test::ReadFileBytes(dir.File("err")),
              "velmorin-cli: Unable to write the JSON line of serial " +
                  std::to_string(serial + 1) +
                  " to standard output: Broken pipe; no number was taken after it.\n");
    EXPECT_EQ(Stored("NextSeqNum"), std::to_string(serial + 2));
    EXPECT_FALSE(fs::exists(dir.File("board_" + std::to_string(serial + 2) + ".hex")));
    const std::string record = test::ReadFileBytes(dir.File("record.csv"));
    EXPECT_NE(record.find("," + std::to_string(serial + 1) + ","), std::string::npos) << record;
    EXPECT_EQ(record.find("," + std::to_string(serial + 2) + ","), std::string::npos) << record;
  }

  // Text and the help go the same way when nobody reads them at all.
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--ini", ini, "profiles"},
                                               {"--ini", ini, "show", skeleton, "--json"},
                                               {"--help"},
                                               {"--version"}}) {
    for (const bool ignoreSigpipe : {false, true}) {
      SCOPED_TRACE(args.back() + (ignoreSigpipe ? ", SIGPIPE ignored" : ""));
      int pipe[2];
      ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
      ::close(pipe[0]);
      const int pid = test::StartCliWritingTo({args, dir.Path().string(), ""}, pipe[1],
                                              dir.File("err"), ignoreSigpipe);
      ::close(pipe[1]);
      EXPECT_EQ(test::WaitCli(pid), 1);
      EXPECT_EQ(test::ReadFileBytes(dir.File("err")),
                "velmorin-cli: Unable to write to standard output: Broken pipe.\n");
    }
  }
}

// On a terminal the chip prompt is asked before every burn (Enter is OK, "c"
// and Enter is Cancel, an image not done: exit 3), and standard error shows
// which image and serial are under way.
TEST_F(CliProcessTest, ChipPromptOnATerminal) {
  AddProfile(Burner("burn", "exit 0\n"));
  struct Case {
    std::vector<std::string> answers;
    int exitCode;
    const char* progress;
    const char* next;
  };
  const Case cases[] = {{{"", ""}, 0, "Image 2 of 2, serial 1001", "1002"},
                        {{"", "c"}, 3, "Image 2 of 2, serial 1003", "1004"}};
  const std::string prompt = "Prepare a chip in the burner, please.";
  for (const Case& c : cases) {
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (::chdir(dir.Path().c_str()) != 0) ::_exit(126);
      std::string cli = test::CliPath(), flag = "--ini", iniPath = ini, command = "serialize",
                  skel = skeleton, count = "--count", two = "2";
      char* argv[] = {cli.data(),  flag.data(),  iniPath.data(), command.data(),
                      skel.data(), count.data(), two.data(),     nullptr};
      ::execv(argv[0], argv);
      ::_exit(127);
    }
    std::string seen;
    std::size_t answered = 0;
    for (;;) {
      pollfd ready{terminal, POLLIN, 0};
      if (::poll(&ready, 1, 20000) <= 0) break;
      char buffer[512];
      const ssize_t got = ::read(terminal, buffer, sizeof buffer);
      if (got <= 0) break;  // the program has ended and the terminal is gone
      seen.append(buffer, static_cast<std::size_t>(got));
      std::size_t asked = 0;
      for (std::size_t at = 0; (at = seen.find(prompt, at)) != std::string::npos;
           at += prompt.size())
        ++asked;
      if (asked > answered && answered < c.answers.size()) {
        const std::string line = c.answers[answered++] + "\n";
        ASSERT_EQ(::write(terminal, line.data(), line.size()), static_cast<ssize_t>(line.size()));
      }
    }
    ::close(terminal);
    EXPECT_EQ(test::WaitCli(pid), c.exitCode) << seen;
    EXPECT_EQ(answered, c.answers.size()) << seen;
    EXPECT_NE(seen.find(c.progress), std::string::npos) << seen;
    EXPECT_EQ(Stored("NextSeqNum"), c.next);
  }
}

// A burn judged by its output as well as its exit code, shown or hidden: the
// JSON line, the record and standard error say why, and a failure stops the
// batch as a failing exit code does. Without the keys nothing changes.
TEST_F(CliProcessTest, BurnerOutputDecidesWhatTheExitCodeCannot) {
  AddProfile(Burner("burn",
                    "echo \"writing $1\"\n"
                    "case \"$1\" in *_1001.hex) echo 'Error: Failed to download data!' >&2;; esac\n"
                    "case \"$1\" in *_1000.hex|*_1001.hex) echo 'Verify OK';; esac\n"
                    "exit \"$(cat code 2>/dev/null || echo 0)\"\n"));
  const std::string matched =
      "The burner's output matched \"^Error:\": Error: Failed to download data!";
  const std::string noOk = "The burner's output had no line matching \"^Verify OK$\".";
  struct Case {
    const char* name;
    std::vector<std::string> keys;  // set before the run; "Key=" removes the key
    int exitCode;                   // the burner's
    std::size_t lines;              // JSON lines of the batch of 3 from NextSeqNum=1000
    const char* lastResult;
    std::string lastMessage;
    bool attempts;  // whether the lines count the runs
  };
  const Case cases[] = {
      // Exit 0 after the error line: today an ok, with the fail text a failure.
      {"no keys", {}, 0, 3, "ok", "", false},
      {"fail text", {"BurnerFailText=^Error:"}, 0, 2, "burner failed", matched, true},
      {"fail text, hidden",
       {"BurnerFailText=^Error:", "HideBurner=1"},
       0,
       2,
       "burner failed",
       matched,
       true},
      // The third image writes no ok line.
      {"ok text", {"BurnerOkText=^Verify OK$"}, 0, 3, "burner failed", noOk, true},
      {"ok text, hidden",
       {"BurnerOkText=^Verify OK$", "HideBurner=1"},
       0,
       3,
       "burner failed",
       noOk,
       true},
      // A failing exit code is the reason, told by the exit code alone.
      {"ok text, exit 5", {"BurnerOkText=^Verify OK$"}, 5, 1, "burner failed", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteFileBytes(dir.File("code"), std::to_string(c.exitCode));
    std::string text = test::ReadFileBytes(ini);
    // Each case starts from the plain profile at 1000.
    for (const char* key : {"BurnerFailText=", "BurnerOkText=", "HideBurner=1"}) {
      for (std::size_t at; (at = text.find(key)) != std::string::npos;) {
        text.erase(at, text.find('\n', at) + 1 - at);
      }
    }
    test::WriteFileBytes(ini, text);
    std::vector<std::string> set = {"set", skeleton, "NextSeqNum=1000"};
    set.insert(set.end(), c.keys.begin(), c.keys.end());
    ASSERT_EQ(Cli(set).exitCode, 0);
    fs::remove(dir.File("record.csv"));

    const CliResult batch = Cli({"serialize", skeleton, "--count", "3", "--yes", "--json"});
    const auto lines = JsonLines(batch.out);
    ASSERT_EQ(lines.size(), c.lines) << batch.out << batch.err;
    const nlohmann::json& last = lines.back();
    EXPECT_EQ(last["result"], c.lastResult);
    EXPECT_EQ(last["message"], c.lastMessage);
    EXPECT_EQ(last["exit_code"], c.exitCode);
    EXPECT_EQ(last.contains("attempts"), c.attempts);
    if (c.attempts) {
      EXPECT_EQ(last["attempts"], 1);
    }
    EXPECT_EQ(batch.exitCode, std::string(c.lastResult) == "ok" ? 0 : 3) << batch.err;
    // Shown, the burner's output goes to standard error beside the JSON lines.
    const bool hidden = c.keys.size() > 1;
    EXPECT_EQ(batch.err.find("writing ") != std::string::npos, !hidden) << batch.err;
    const std::string record = test::ReadFileBytes(dir.File("record.csv"));
    EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), static_cast<long>(c.lines) + 1);
    if (!c.lastMessage.empty()) {
      std::string quoted;  // as the CSV line quotes it
      for (const char ch : c.lastMessage)
        quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
      EXPECT_NE(record.find(",burner failed," + std::to_string(c.exitCode) + ",\"" + quoted + "\""),
                std::string::npos)
          << record;
    }
  }

  // Without --json the reason is the command's last word on standard error.
  ASSERT_EQ(Cli({"set", skeleton, "NextSeqNum=1001", "BurnerFailText=^Error:"}).exitCode, 0);
  test::WriteFileBytes(dir.File("code"), "0");
  const CliResult plain = Cli({"serialize", skeleton, "--yes"});
  EXPECT_EQ(plain.exitCode, 3);
  EXPECT_NE(plain.err.find("velmorin-cli: " + matched + "\n"), std::string::npos) << plain.err;
}

// A burner that hangs after starting a child in a session of its own is
// stopped at its limit with everything it started, as Ctrl-C stops it.
TEST_F(CliProcessTest, TimeLimitStopsTheBurnerAndWhatItDetached) {
  AddProfile(Burner("hang",
                    "setsid sleep 300 & echo $! > child.pid\necho $$ > burner.pid\n"
                    "trap '' TERM\nsleep 300\n"));
  ASSERT_EQ(Cli({"set", skeleton, "BurnerTimeout=1"}).exitCode, 0);
  const auto started = std::chrono::steady_clock::now();
  const CliResult batch = Cli({"serialize", skeleton, "--count", "2", "--yes", "--json"});
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  EXPECT_EQ(batch.exitCode, 3) << batch.err;
  // A second for the limit, half a second of grace before SIGKILL, and the
  // start of the command.
  EXPECT_GE(took.count(), 1000);
  EXPECT_LT(took.count(), 2500);
  for (const char* name : {"child.pid", "burner.pid"}) {
    const int pid = std::stoi(test::ReadFileBytes(dir.File(name)));
    EXPECT_NE(::kill(pid, 0), 0) << name << " still runs";
  }
  const auto lines = JsonLines(batch.out);
  ASSERT_EQ(lines.size(), 1u) << batch.out;
  EXPECT_EQ(lines[0]["result"], "burner failed");
  EXPECT_EQ(lines[0]["message"], "The burner took longer than 1 s and was stopped.");
  EXPECT_EQ(Stored("NextSeqNum"), "1001");
}

// A failed burn is run again with the same file, nothing asked, until it is
// done or the retries are used up; one line per number says how many runs.
TEST_F(CliProcessTest, RetriesBurnTheSameFileAgain) {
  // Fails its first two runs of a file (the second by its exit code), then works.
  AddProfile(Burner("flaky",
                    "echo \"$1\" >> runs\n"
                    "n=$(grep -c -x \"$1\" runs)\n"
                    "[ \"$n\" -eq 1 ] && { echo 'Error: no target'; exit 0; }\n"
                    "[ \"$n\" -eq 2 ] && exit 4\n"
                    "exit 0\n"));
  ASSERT_EQ(Cli({"set", skeleton, "BurnerFailText=^Error:"}).exitCode, 0);
  struct Case {
    const char* retries;
    int exitCode;
    const char* result;
    int attempts;
    const char* message;
  };
  const Case cases[] = {
      {"2", 0, "ok", 3, "3 attempts"},
      {"1", 3, "burner failed", 2, "2 attempts"},
      {"0", 3, "burner failed", 1, "The burner's output matched \"^Error:\": Error: no target"},
  };
  int serial = 1000;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("retries ") + c.retries);
    ASSERT_EQ(Cli({"set", skeleton, std::string("BurnerRetries=") + c.retries}).exitCode, 0);
    const CliResult burn = Cli({"serialize", skeleton, "--yes", "--json"});
    EXPECT_EQ(burn.exitCode, c.exitCode) << burn.err;
    const auto lines = JsonLines(burn.out);
    ASSERT_EQ(lines.size(), 1u) << burn.out;
    EXPECT_EQ(lines[0]["result"], c.result);
    EXPECT_EQ(lines[0]["attempts"], c.attempts);
    EXPECT_EQ(lines[0]["message"], c.message);
    const std::string file = dir.File("board_" + std::to_string(serial) + ".hex");
    EXPECT_EQ(test::ReadFileBytes(dir.File("runs")), [&] {
      std::string runs;
      for (int k = 0; k < c.attempts; ++k) runs += file + "\n";
      return runs;
    }());
    fs::remove(dir.File("runs"));
    ++serial;
    EXPECT_EQ(Stored("NextSeqNum"), std::to_string(serial));
  }
  const std::string record = test::ReadFileBytes(dir.File("record.csv"));
  EXPECT_NE(record.find(",1000," + dir.File("board_1000.hex") + ",ok,0,3 attempts\r\n"),
            std::string::npos)
      << record;
  EXPECT_NE(record.find(",1001," + dir.File("board_1001.hex") + ",burner failed,4,2 attempts\r\n"),
            std::string::npos)
      << record;
}

// Ctrl-C ends the retries with the burn under way.
TEST_F(CliProcessTest, InterruptEndsTheRetriesToo) {
  AddProfile(Burner("slow", "echo \"$1\" >> runs\nexec sleep 300\n"));
  ASSERT_EQ(Cli({"set", skeleton, "BurnerRetries=3", "BurnerTimeout=100"}).exitCode, 0);
  const int pid = test::StartCli(
      {{"--ini", ini, "serialize", skeleton, "--yes", "--json"}, dir.Path().string(), ""},
      dir.File("out"), dir.File("err"));
  for (int i = 0; i < 500 && !fs::exists(dir.File("runs")); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(fs::exists(dir.File("runs")));
  ::kill(pid, SIGINT);
  EXPECT_EQ(test::WaitCli(pid), 130);
  EXPECT_EQ(test::ReadFileBytes(dir.File("runs")), dir.File("board_1000.hex") + "\n");
  const auto lines = JsonLines(test::ReadFileBytes(dir.File("out")));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["result"], "aborted");
  EXPECT_EQ(lines[0]["attempts"], 1);
}

// A 50 MB line without an end, then an error line: judged failed in bounded
// memory, in seconds.
TEST_F(CliProcessTest, EndlessLineThenAnErrorLineFailsInBoundedMemory) {
  AddProfile(Burner("flood",
                    "[ -f quiet ] || head -c 50000000 /dev/zero | tr '\\0' a\necho\n"
                    "echo 'Error: verify failed'\nexit 0\n"));
  ASSERT_EQ(Cli({"set", skeleton, "BurnerFailText=^Error:", "HideBurner=1"}).exitCode, 0);
  // The peak memory of velmorin-cli (its burner is its own child, not ours)
  // for one judged burn.
  const auto peakKiB = [&](const char* json) {
    const int pid = test::StartCli(
        {{"--ini", ini, "serialize", skeleton, "--yes", "--json"}, dir.Path().string(), ""},
        dir.File(json), dir.File("err"));
    int status = 0;
    rusage usage{};
    EXPECT_EQ(::wait4(pid, &status, 0, &usage), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3)
        << test::ReadFileBytes(dir.File("err"));
    const auto lines = JsonLines(test::ReadFileBytes(dir.File(json)));
    EXPECT_EQ(lines.size(), 1u);
    if (!lines.empty()) {
      EXPECT_EQ(lines[0]["message"],
                "The burner's output matched \"^Error:\": Error: verify failed");
    }
    return usage.ru_maxrss;
  };
  const auto started = std::chrono::steady_clock::now();
  const long flood = peakKiB("flood.jsonl");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  // The same burn without the flood is the yardstick (the sanitizers' share
  // of memory is no share of the line's).
  test::WriteFileBytes(dir.File("quiet"), "");
  const long quiet = peakKiB("quiet.jsonl");
  EXPECT_LT(flood, quiet + 8 * 1024) << "KiB, against " << quiet << " KiB without the flood";
}

// stamp writes exactly the bytes srec_cat's -exclude/-generate writes.
TEST_F(CliProcessTest, StampAgreesWithSrecCat) {
  if (std::system("srec_cat -version >/dev/null 2>&1") != 0 ||
      std::system("objcopy --version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "srec_cat or objcopy is missing (scripts/setup installs srecord, binutils)";
  }
  struct Case {
    std::string serial;
    std::uint32_t value;
    int size;
    bool lsb;
    std::vector<std::uint32_t> at;
  };
  const std::vector<Case> cases = {
      {"1000", 1000, 2, false, {0x10}},
      {"0x12345678", 0x12345678, 4, true, {0x0, 0x20, 0x38}},
      {"-1", 0xFFFFFFFF, 4, false, {0x3E}},  // past the end of the data
      {"0xA5", 0xA5, 1, true, {0x8, 0x100, 0x30, 0x1000}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"stamp",  skeleton, dir.File("ours.hex"),  "--serial",
                                     c.serial, "--size", std::to_string(c.size)};
    if (c.lsb) args.push_back("--lsb");
    std::string srec = "srec_cat '" + skeleton + "' -intel";
    std::string generate;
    for (std::size_t k = 0; k < c.at.size(); ++k) {
      char hex[16];
      std::snprintf(hex, sizeof hex, k % 2 == 0 ? "0x%X" : "%x", c.at[k]);
      args.insert(args.end(), {"--at", hex});
      const std::string from = std::to_string(c.at[k]);
      const std::string to = std::to_string(c.at[k] + static_cast<std::uint32_t>(c.size));
      // srec_cat wants the value to fit its width; we write its low bytes.
      const std::uint64_t value =
          c.size >= 4 ? c.value : c.value & ((std::uint64_t{1} << (8 * c.size)) - 1);
      srec += " -exclude " + from + " " + to;
      generate += " -generate " + from + " " + to +
                  (c.lsb ? " -constant-l-e " : " -constant-b-e ") + std::to_string(value) + " " +
                  std::to_string(c.size);
    }
    const CliResult stamped = RunCli({args, dir.Path().string(), ""});
    ASSERT_EQ(stamped.exitCode, 0) << stamped.err;
    srec += generate + " -o '" + dir.File("srec.hex") + "' -intel";
    ASSERT_EQ(std::system(srec.c_str()), 0) << srec;
    const std::string toBinary = "objcopy -I ihex -O binary --gap-fill 0 '" + dir.File("ours.hex") +
                                 "' '" + dir.File("ours.bin") +
                                 "' && objcopy -I ihex -O binary --gap-fill 0 '" +
                                 dir.File("srec.hex") + "' '" + dir.File("srec.bin") + "'";
    ASSERT_EQ(std::system(toBinary.c_str()), 0);
    EXPECT_EQ(test::ReadFileBytes(dir.File("ours.bin")), test::ReadFileBytes(dir.File("srec.bin")))
        << c.serial;
  }
}

}  // namespace
}  // namespace velmorin
