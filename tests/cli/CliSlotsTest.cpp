// velmorin-cli serialize --slots with real burners: shell scripts that log
// when each burn starts and ends, in which slot, on which image. POSIX only
// (shell scripts, signals, setsid).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "tests/cli/CliRunnerPosix.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::CliResult;

std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

// One burn as the burner logged it.
struct Burn {
  double start = 0, end = 0;
  std::string value, image;
};

class CliSlotsTest : public test::CliFixture {
 protected:
  CliSlotsTest() : CliFixture(64) {}

  // A burner that logs "start TIME IMAGE VALUE" and "end TIME IMAGE", with
  // `body` between; its arguments are the image and the slot's value.
  void AddProfile(const std::string& body, int next = 1000) {
    const std::string burner = dir.File("burn");
    test::WriteFileBytes(burner,
                         "#!/bin/sh\n"
                         "echo \"start $(date +%s.%N) $1 $2\" >> burns.log\n" +
                             body + "echo \"end $(date +%s.%N) $1\" >> burns.log\n");
    ::chmod(burner.c_str(), 0755);
    ASSERT_EQ(Cli({"add", skeleton, "NextSeqNum=" + std::to_string(next), "DontBurn=0",
                   "OutputFolder=" + dir.File(""), "BurnerCmdLine=" + burner + " $image $slot"})
                  .exitCode,
              0);
  }

  // The burns the log tells of, in the order they started.
  std::vector<Burn> Burns() {
    std::map<std::string, Burn> started;  // by image
    std::vector<Burn> burns;
    std::istringstream log(test::ReadFileBytes(dir.File("burns.log")));
    for (std::string line; std::getline(log, line);) {
      std::istringstream fields(line);
      std::string what, image;
      double time = 0;
      fields >> what >> time >> image;
      if (what == "start") {
        Burn burn{time, 0, "", image};
        std::getline(fields >> std::ws, burn.value);
        EXPECT_TRUE(started.emplace(image, burn).second) << image << " burned twice";
      } else {
        Burn burn = started.at(image);
        burn.end = time;
        burns.push_back(burn);
      }
    }
    std::sort(burns.begin(), burns.end(),
              [](const Burn& a, const Burn& b) { return a.start < b.start; });
    return burns;
  }

  // The most burns that ran at one moment.
  static int MostAtOnce(const std::vector<Burn>& burns) {
    std::vector<std::pair<double, int>> events;
    for (const Burn& b : burns) events.insert(events.end(), {{b.start, 1}, {b.end, -1}});
    std::sort(events.begin(), events.end());
    int now = 0, most = 0;
    for (const auto& [time, change] : events) most = std::max(most, now += change);
    return most;
  }

  std::int64_t NextSeqNum() {
    return nlohmann::json::parse(Cli({"show", skeleton, "--json"}).out)["settings"]["NextSeqNum"];
  }
};

// 4 slots, 12 numbers, burns of 1 s: three rounds of 4 at once; each number
// goes to one slot once, each file is written and burned once, each slot's
// burner gets its value, and each line of its output says which slot it is.
TEST_F(CliSlotsTest, FourSlotsBurnTwelveImagesFourAtATime) {
  // "probe B" reaches its burner as one argument, quoted as $image would be.
  AddProfile("[ $# = 2 ] || exit 9\necho \"burning on $2\"\nsleep 1\n");
  const std::vector<std::string> values = {"probe-A", "probe B", "C", "D"};
  const auto began = std::chrono::steady_clock::now();
  const CliResult batch = Cli({"serialize", skeleton, "--count", "12", "--slots", "4",
                               "--slot-values", "probe-A,probe B,C,D", "--yes", "--json"});
  const auto took = std::chrono::steady_clock::now() - began;
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  EXPECT_LT(took, std::chrono::seconds(5));

  const std::vector<Burn> burns = Burns();
  ASSERT_EQ(burns.size(), 12u);
  EXPECT_EQ(MostAtOnce(burns), 4);
  std::map<std::string, std::string> valueOfImage;
  for (const Burn& burn : burns) valueOfImage[burn.image] = burn.value;

  const auto lines = JsonLines(batch.out);
  ASSERT_EQ(lines.size(), 12u) << batch.out;
  std::set<std::int64_t> serials;
  std::map<int, int> perSlot;
  for (const auto& line : lines) {
    const std::int64_t serial = line["serial"];
    const int slot = line["slot"];
    EXPECT_TRUE(serials.insert(serial).second) << serial << " handed out twice";
    EXPECT_EQ(line["result"], "ok");
    ASSERT_GE(slot, 1);
    ASSERT_LE(slot, 4);
    ++perSlot[slot];
    const std::string image = dir.File("board_" + std::to_string(serial) + ".hex");
    EXPECT_EQ(line["output"], image);
    EXPECT_TRUE(fs::exists(image));
    EXPECT_EQ(valueOfImage[image], values[static_cast<std::size_t>(slot - 1)]) << image;
  }
  EXPECT_EQ(*serials.begin(), 1000);
  EXPECT_EQ(*serials.rbegin(), 1011);
  EXPECT_EQ(NextSeqNum(), 1012);
  // A slot that started late may burn one image fewer than the others; each
  // slot's burns are the lines its burner said with its number in front.
  for (int slot = 1; slot <= 4; ++slot) {
    const std::string said = "[" + std::to_string(slot) + "] burning on " +
                             values[static_cast<std::size_t>(slot - 1)] + "\n";
    int count = 0;
    for (std::size_t at = 0; (at = batch.err.find(said, at)) != std::string::npos; ++at) ++count;
    EXPECT_GE(count, 1) << said << batch.err;
    EXPECT_EQ(count, perSlot[slot]) << said << batch.err;
  }
}

// Each slot's image carries the checksum region computed after its own
// number: the slotted road makes its images as the single one does.
TEST_F(CliSlotsTest, EverySlotsImageCarriesItsChecksum) {
  AddProfile("");
  // The result lies past the skeleton's data, so the skeleton has none to check.
  ASSERT_EQ(Cli({"set", skeleton, "ChecksumKind1=crc16-xmodem", "ChecksumFrom1=0",
                 "ChecksumTo1=0x3F", "ChecksumAt1=0x40"})
                .exitCode,
            0);
  const CliResult batch = Cli({"serialize", skeleton, "--count", "4", "--slots", "2", "--yes"});
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  for (int serial = 1000; serial < 1004; ++serial) {
    const std::string image = dir.File("board_" + std::to_string(serial) + ".hex");
    const CliResult checked = test::RunCli({{"checksum", image, "--kind", "crc16-xmodem", "--from",
                                             "0", "--to", "0x3F", "--at", "0x40"},
                                            "",
                                            ""});
    EXPECT_EQ(checked.exitCode, 0) << image << ": " << checked.out << checked.err;
  }
}

// A slot whose burner fails stops alone; the others take the rest of the
// numbers, and the command ends with 3.
TEST_F(CliSlotsTest, AFailingSlotStopsAloneAndTheOthersFinishTheCount) {
  AddProfile("sleep 0.2\n[ \"$2\" = 2 ] && { echo 'no target'; exit 7; }\n");
  const CliResult batch =
      Cli({"serialize", skeleton, "--count", "10", "--slots", "3", "--yes", "--json"});
  EXPECT_EQ(batch.exitCode, 3) << batch.err;
  const auto lines = JsonLines(batch.out);
  ASSERT_EQ(lines.size(), 10u) << batch.out;
  int failed = 0;
  for (const auto& line : lines) {
    if (line["slot"] == 2) {
      ++failed;
      EXPECT_EQ(line["result"], "burner failed");
      EXPECT_EQ(line["exit_code"], 7);
    } else {
      EXPECT_EQ(line["result"], "ok") << line;
    }
  }
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(NextSeqNum(), 1010);
  EXPECT_NE(batch.err.find("[2] no target\n"), std::string::npos) << batch.err;
}

// Each slot's burn is judged as any burn is: an error line with exit 0, or
// the time limit (which stops that slot's burner and its detached child
// alone), fails that slot's image and stops that slot; the other finishes
// the count.
TEST_F(CliSlotsTest, AJudgedSlotFailsAloneByItsOutputOrItsTimeLimit) {
  AddProfile(
      "sleep 0.1\n[ \"$2\" = 2 ] || exit 0\n"
      "[ -f hang ] && { setsid sleep 300 & echo $! > child.pid; sleep 300; }\n"
      "echo 'Error: no target' >&2\nexit 0\n");
  for (const bool hang : {false, true}) {
    SCOPED_TRACE(hang ? "time limit" : "fail text");
    if (hang) test::WriteFileBytes(dir.File("hang"), "");
    ASSERT_EQ(Cli({"set", skeleton, "BurnerFailText=^Error:", "BurnerTimeout=1"}).exitCode, 0);
    const CliResult batch =
        Cli({"serialize", skeleton, "--count", "6", "--slots", "2", "--yes", "--json"});
    EXPECT_EQ(batch.exitCode, 3) << batch.err;
    const auto lines = JsonLines(batch.out);
    ASSERT_EQ(lines.size(), 6u) << batch.out;
    int failed = 0;
    for (const auto& line : lines) {
      EXPECT_EQ(line["attempts"], 1) << line;
      if (line["slot"] != 2) {
        EXPECT_EQ(line["result"], "ok") << line;
        continue;
      }
      ++failed;
      EXPECT_EQ(line["result"], "burner failed");
      EXPECT_EQ(line["message"], hang
                                     ? "The burner took longer than 1 s and was stopped."
                                     : "The burner's output matched \"^Error:\": Error: no target");
    }
    EXPECT_EQ(failed, 1);
    if (hang) {
      const int child = std::stoi(test::ReadFileBytes(dir.File("child.pid")));
      EXPECT_NE(::kill(child, 0), 0) << "the slot's detached child still runs";
    } else {
      EXPECT_NE(batch.err.find("[2] Error: no target\n"), std::string::npos) << batch.err;
    }
  }
}

// Ctrl-C with three hanging burners, each with a child in a session of its
// own: every burner and child is gone, each number under way is aborted,
// and the command ends with 130.
TEST_F(CliSlotsTest, InterruptStopsEverySlotWithWhatItDetached) {
  AddProfile("setsid sleep 300 &\necho $! >> pids\necho $$ >> pids\nsleep 300\n");
  const int pid = test::StartCli(
      {{"--ini", ini, "serialize", skeleton, "--count", "12", "--slots", "3", "--yes", "--json"},
       dir.Path().string(),
       ""},
      dir.File("out"), dir.File("err"));
  const auto pids = [&] {
    std::vector<int> found;
    std::istringstream in(fs::exists(dir.File("pids")) ? test::ReadFileBytes(dir.File("pids"))
                                                       : std::string());
    for (int p; in >> p;) found.push_back(p);
    return found;
  };
  for (int i = 0; i < 1000 && pids().size() < 6; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(pids().size(), 6u) << test::ReadFileBytes(dir.File("err"));
  ::kill(pid, SIGINT);
  EXPECT_EQ(test::WaitCli(pid), 130) << test::ReadFileBytes(dir.File("err"));
  for (const int p : pids()) EXPECT_NE(::kill(p, 0), 0) << p << " is left";
  const auto lines = JsonLines(test::ReadFileBytes(dir.File("out")));
  ASSERT_EQ(lines.size(), 3u);
  std::set<int> slots;
  for (const auto& line : lines) {
    EXPECT_EQ(line["result"], "aborted");
    slots.insert(line["slot"].get<int>());
  }
  EXPECT_EQ(slots, (std::set<int>{1, 2, 3}));
  EXPECT_EQ(NextSeqNum(), 1003);
}

// What --slots refuses, before anything is taken or written: exit 2.
TEST_F(CliSlotsTest, RefusalsTakeNothing) {
  AddProfile("");
  const std::string before = test::ReadFileBytes(ini);
  const std::vector<std::vector<std::string>> refused = {
      {"--slots", "4"},
      {"--slots", "0", "--yes"},
      {"--slots", "65", "--yes"},
      {"--slots", "3", "--slot-values", "a,b", "--yes"},
      {"--slots", "2", "--slot-values", "a,b,c", "--yes"},
      {"--slot-values", "a", "--yes"},
  };
  for (const auto& options : refused) {
    std::vector<std::string> args = {"serialize", skeleton, "--count", "4"};
    args.insert(args.end(), options.begin(), options.end());
    const CliResult result = Cli(args);
    EXPECT_EQ(result.exitCode, 2) << options[1] << ": " << result.err;
    EXPECT_NE(result.err.find("--slot"), std::string::npos) << result.err;
  }
  EXPECT_EQ(test::ReadFileBytes(ini), before);
  EXPECT_FALSE(fs::exists(dir.File("board_1000.hex")));
  EXPECT_FALSE(fs::exists(dir.File("burns.log")));
}

}  // namespace
}  // namespace velmorin
