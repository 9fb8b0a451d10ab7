// velmorin-cli with real burners, signals and a peer stamper: what needs
// POSIX processes, shell scripts as burners, and srec_cat.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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
