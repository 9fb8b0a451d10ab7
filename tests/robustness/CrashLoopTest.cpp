// Crash loop: a batch under "Auto Inc." with a real burner runs in a child
// process over a real INI file and is killed with SIGKILL at random moments,
// many times, then started again; at the end one batch runs to its end. No
// serial number may be handed out twice (the child itself stops the moment it
// would take a number whose output file exists) or burned twice, every output
// file must be complete, the stored Next SN must lie above every number used,
// and the kills may leave hardly any temporary file behind. The same with
// velmorin-cli burning in four slots at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "image/IntelImage.h"
#include "platform/ini/IniFile.h"
#include "tests/robustness/ChildProcess.h"
#include "tests/support/CrashSeed.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

constexpr int kKills = 300;
// Temporary files of ours a killed writer may leave (only a kill between
// naming a finished file and moving it into place can).
constexpr int kMostStaleTemps = 3;
constexpr std::uint32_t kSlot = 0x10;

// The size of the child's log, which it creates at its first number.
std::uintmax_t SizeOf(const std::string& log) {
  return fs::exists(log) ? fs::file_size(log) : 0;
}

// Waits, for 10 s at most, until the log grows past `size`: the child's batch
// is then under way.
void WaitForGrowth(const std::string& log, std::uintmax_t size) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (SizeOf(log) == size && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

std::string Skeleton() {
  TIntelImage image;
  image.MaxRecLen = 16;
  TImageSegment segment{0, std::vector<std::uint8_t>(512)};
  for (std::size_t i = 0; i < segment.Data.size(); ++i)
    segment.Data[i] = static_cast<std::uint8_t>(i);
  image.Segments.push_back(segment);
  return image.SaveToText();
}

TEST(CrashLoop, KilledBatchesNeverHandOutANumberTwice) {
  test::TempDir dir;
  const std::string skel = dir.File("board.hex");
  const std::string out = dir.File("out");
  const std::string ini = dir.File("velmorin.ini");
  const std::string log = dir.File("numbers.log");
  const std::string childOutput = dir.File("child-output.txt");
  const std::string burnLog = dir.File("burned.log");
  const std::string burner = dir.File("burner.sh");
  // The burner notes every image it is handed, with one appending write.
  WriteFileBytes(burner, "printf '%s\\n' \"$1\" >> \"$2\"\n");
  WriteFileBytes(skel, Skeleton());
  fs::create_directory(out);
  IniFile::Changes profile;
  profile.WriteInteger(skel, "NextSeqNum", 1)
      .WriteBool(skel, "AutoIncSeq", true)
      .WriteInteger(skel, "SeqNumSize", 4)
      .WriteBool(skel, "SetSeqNumOfs1", true)
      .WriteInteger(skel, "SeqNumOfs1", kSlot)
      .WriteInteger(skel, "ByteOrder", 1)
      .WriteBool(skel, "DontBurn", false)
      .WriteString(skel, "BurnerCmdLine", "/bin/sh " + burner + " $image " + burnLog)
      .WriteString(skel, "OutputFolder", out)
      .WriteBool(skel, "DontSave", false)
      .WriteInteger("Options", "DefaultImg", 0);
  IniFile(ini).Apply(profile);

  const std::uint32_t seed = test::CrashSeed("crash loop");
  SCOPED_TRACE("crash loop seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayUs(0, 20000);
  std::bernoulli_distribution duringStartUp(0.2);

  const auto start = std::chrono::steady_clock::now();
  int killedWhileRunning = 0;
  int killedInBatch = 0;  // after the child had taken a number
  for (int round = 0; round < kKills; ++round) {
    const auto logSize = SizeOf(log);
    const pid_t pid =
        test::StartChild({VELMORIN_CRASHLOOP_CHILD, ini, log, "1000000"}, childOutput);
    // Most kills come once the batch is under way (a sanitizer build starts
    // slowly), some while the child is still starting.
    if (!duringStartUp(random)) WaitForGrowth(log, logSize);
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
      ++killedWhileRunning;
      if (SizeOf(log) != logSize) ++killedInBatch;
      continue;
    }
    FAIL() << "round " << round << ": child ended by itself with status " << status
           << " (3: a number was taken twice, 4: the profile was lost)\n"
           << ReadFileBytes(log) << ReadFileBytes(childOutput);
  }
  const test::ChildResult last = test::RunChild({VELMORIN_CRASHLOOP_CHILD, ini, log, "5"});
  ASSERT_TRUE(WIFEXITED(last.status)) << ReadFileBytes(log);
  ASSERT_EQ(WEXITSTATUS(last.status), 0) << ReadFileBytes(log);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(killedWhileRunning, kKills);

  // What the children logged.
  std::set<std::int32_t> taken, done;
  std::istringstream lines(ReadFileBytes(log));
  for (std::string what; lines >> what;) {
    std::int32_t n = 0;
    if (what == "take" && lines >> n) {
      taken.insert(n);
    }
    if (what == "done" && lines >> n) {
      EXPECT_TRUE(done.insert(n).second) << "done twice: " << n;
    }
    EXPECT_TRUE(what == "take" || what == "done") << what;
  }

  // The output files: each complete, each carrying its own number.
  const std::regex outputName(R"(board_(\d+)\.hex)");
  const std::regex tempName(R"(\.velmorin-\d+-[a-z0-9]{6}\.tmp)");
  std::set<std::int32_t> written;
  int staleTemps = 0;
  for (const std::string& folder : {out, dir.Path().string()}) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      std::smatch match;
      if (std::regex_match(name, match, outputName)) {
        const std::int32_t n = std::stoi(match[1]);
        written.insert(n);
        TIntelImage image;
        ASSERT_NO_THROW(image.LoadFromFile(entry.path().string())) << name;
        const auto pattern = static_cast<std::uint32_t>(n);
        for (std::uint32_t i = 0; i < 4; ++i) {
          EXPECT_EQ(image.GetByte(kSlot + i), static_cast<std::uint8_t>(pattern >> (8 * i)))
              << name;
        }
        EXPECT_EQ(image.GetByte(kSlot + 4), kSlot + 4) << name;
      } else if (std::regex_match(name, tempName)) {
        ++staleTemps;  // a write cut short by SIGKILL; never under a real name
      }
    }
  }

  const std::int32_t stored = IniFile(ini).ReadInteger(skel, "NextSeqNum", -1);
  ASSERT_FALSE(written.empty());
  EXPECT_GT(stored, *written.rbegin());
  for (const std::int32_t n : done) EXPECT_EQ(written.count(n), 1u) << n;
  // Numbers run 1, 2, ... without a file written twice; a kill between the
  // stored advance and the file's rename skips a number, which is allowed.
  EXPECT_GE(*written.begin(), 1);
  EXPECT_GE(killedInBatch, kKills / 2);
  EXPECT_GT(written.size(), 5u);  // more than the last, unbroken batch made
  EXPECT_EQ(IniFile(ini).ReadSections(), (std::vector<std::string>{skel, "Options"}));
  EXPECT_LE(staleTemps, kMostStaleTemps);

  // Every image the burner was handed, once each, and only complete ones.
  std::map<std::string, int> burned;
  std::istringstream burns(ReadFileBytes(burnLog));
  for (std::string image; std::getline(burns, image);) ++burned[image];
  EXPECT_GE(burned.size(), done.size());
  for (const auto& [image, times] : burned) {
    EXPECT_EQ(times, 1) << image << " burned " << times << " times";
    TIntelImage copy;
    EXPECT_NO_THROW(copy.LoadFromFile(image)) << image;
  }

  std::printf(
      "%d kills (%d in a batch) in %lld ms: %zu numbers used, %zu taken, %zu skipped, Next SN %d, "
      "%d stale temporary files\n",
      kKills, killedInBatch,
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()),
      written.size(), taken.size(), static_cast<std::size_t>(stored - 1) - written.size(), stored,
      staleTemps);
}

// The production record under the same kills: every line parses as CSV, no
// number stands in it twice, and every number the stored Next SN advanced past
// is in it, but for at most the one that was under way when a kill came.
TEST(CrashLoop, RecordAccountsForEveryNumberTaken) {
  constexpr int kRecordKills = 40;
  test::TempDir dir;
  const std::string skel = dir.File("board.hex");
  const std::string out = dir.File("out");
  const std::string ini = dir.File("velmorin.ini");
  const std::string log = dir.File("numbers.log");
  const std::string record = dir.File("record.csv");
  WriteFileBytes(skel, Skeleton());
  fs::create_directory(out);
  IniFile::Changes profile;
  profile.WriteInteger(skel, "NextSeqNum", 1)
      .WriteBool(skel, "AutoIncSeq", true)
      .WriteBool(skel, "DontBurn", false)
      .WriteString(skel, "BurnerCmdLine", "/bin/true $image")
      .WriteString(skel, "OutputFolder", out)
      .WriteInteger("Options", "DefaultImg", 0)
      .WriteString("Options", "ProductionLog", "record.csv");
  IniFile(ini).Apply(profile);

  const std::uint32_t seed = test::CrashSeed("record crash loop");
  SCOPED_TRACE("record crash loop seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayUs(0, 20000);
  std::set<std::int32_t> underWay;  // the last number each killed run took
  for (int round = 0; round < kRecordKills; ++round) {
    const auto logSize = SizeOf(log);
    const pid_t pid =
        test::StartChild({VELMORIN_CRASHLOOP_CHILD, ini, log, "1000000"}, dir.File("child.txt"));
    WaitForGrowth(log, logSize);
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << ReadFileBytes(dir.File("child.txt"));
    std::istringstream lines(ReadFileBytes(log).substr(logSize));
    std::int32_t last = -1;
    for (std::string what; lines >> what;) {
      std::int32_t n = 0;
      if (lines >> n && what == "take") last = n;
    }
    if (last >= 0) underWay.insert(last);
  }
  // One batch left to run to its end, so the record holds lines even when a
  // busy machine let every kill land before the first line was written.
  const test::ChildResult last = test::RunChild({VELMORIN_CRASHLOOP_CHILD, ini, log, "3"});
  ASSERT_TRUE(WIFEXITED(last.status) && WEXITSTATUS(last.status) == 0) << ReadFileBytes(log);

  // Read as a quality system would: Python's csv module, the file as it stands.
  const std::string script = dir.File("read.py");
  WriteFileBytes(script,
                 "import csv, sys\n"
                 "rows = list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))\n"
                 "assert rows[0] == ['Time','Station','Skeleton','Serial','OutputFile','Result',"
                 "'ExitCode','Message'], rows[0]\n"
                 "for row in rows[1:]:\n"
                 "    assert len(row) == 8 and row[5] == 'ok' and row[6] == '0', row\n"
                 "    print(row[3])\n");
  const std::string command = "python3 " + script + " " + record + " > " + dir.File("serials.txt");
  ASSERT_EQ(::system(command.c_str()), 0) << ReadFileBytes(record);
  std::set<std::int32_t> recorded;
  std::istringstream serials(ReadFileBytes(dir.File("serials.txt")));
  for (std::int32_t n; serials >> n;) EXPECT_TRUE(recorded.insert(n).second) << "twice: " << n;

  const std::int32_t stored = IniFile(ini).ReadInteger(skel, "NextSeqNum", -1);
  ASSERT_GT(stored, 1);
  int missing = 0;
  for (std::int32_t n = 1; n < stored; ++n) {
    if (recorded.count(n) != 0) continue;
    ++missing;
    EXPECT_EQ(underWay.count(n), 1u) << n << " was used but is neither recorded nor under way";
  }
  EXPECT_LE(missing, kRecordKills);
  EXPECT_LT(*recorded.rbegin(), stored);
  std::printf("%d kills: %zu numbers recorded, %d under way at a kill, Next SN %d\n", kRecordKills,
              recorded.size(), missing, stored);
}

#ifdef VELMORIN_CLI
// The processes whose command line names `text` (our own aside).
std::vector<pid_t> ProcessesNaming(const std::string& text) {
  std::vector<pid_t> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string line = ReadFileBytes(entry.path().string() + "/cmdline");
    std::replace(line.begin(), line.end(), '\0', ' ');
    const pid_t pid = std::stoi(name);
    if (pid != ::getpid() && line.find(text) != std::string::npos) found.push_back(pid);
  }
  return found;
}

// velmorin-cli serialize --slots 4 killed with SIGKILL at random moments, 100
// times, and started again: no number is ever on two images, each image is
// complete and burned at most once, and no reaper nor burner outlives the run
// that started it for long (each reaper stops its tree when its owner dies).
TEST(CrashLoop, KilledSlottedBatchesNeverPutANumberOnTwoImages) {
  constexpr int kSlotKills = 100;
  test::TempDir dir;
  const std::string skel = dir.File("board.hex");
  const std::string out = dir.File("out");
  const std::string ini = dir.File("velmorin.ini");
  const std::string burnLog = dir.File("burned.log");
  const std::string burner = dir.File("burner.sh");
  // Every image with the slot it went to, in one appending write.
  WriteFileBytes(burner, "printf '%s %s\\n' \"$1\" \"$2\" >> \"$3\"\n");
  WriteFileBytes(skel, Skeleton());
  fs::create_directory(out);
  IniFile::Changes profile;
  profile.WriteInteger(skel, "NextSeqNum", 1)
      .WriteBool(skel, "AutoIncSeq", true)
      .WriteInteger(skel, "SeqNumSize", 4)
      .WriteBool(skel, "SetSeqNumOfs1", true)
      .WriteInteger(skel, "SeqNumOfs1", kSlot)
      .WriteInteger(skel, "ByteOrder", 1)
      .WriteBool(skel, "DontBurn", false)
      .WriteString(skel, "BurnerCmdLine", "/bin/sh " + burner + " $image $slot " + burnLog)
      .WriteString(skel, "OutputFolder", out)
      .WriteString("Options", "ProductionLog", "record.csv");
  IniFile(ini).Apply(profile);
  const auto run = [&](const std::string& count, const std::string& log) {
    return test::StartChild({VELMORIN_CLI, "--ini", ini, "serialize", skel, "--count", count,
                             "--slots", "4", "--yes", "--json"},
                            log);
  };

  const std::uint32_t seed = test::CrashSeed("slotted crash loop");
  SCOPED_TRACE("slotted crash loop seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayUs(0, 20000);
  // How many burns a run starts before its kill: some while it starts, most
  // a few rounds of its four slots in.
  std::uniform_int_distribution<int> burnsBefore(-2, 6);
  const auto burnsLogged = [&] {
    const std::string text = fs::exists(burnLog) ? ReadFileBytes(burnLog) : std::string();
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  };
  for (int round = 0; round < kSlotKills; ++round) {
    const int wanted = burnsLogged() + burnsBefore(random);
    const pid_t pid = run("1000000", dir.File("run.txt"));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (burnsLogged() < wanted && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << ReadFileBytes(dir.File("run.txt"));
  }
  int status = 0;
  const pid_t last = run("8", dir.File("last.txt"));
  ASSERT_EQ(::waitpid(last, &status, 0), last);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFileBytes(dir.File("last.txt"));

  // Each reaper ends its tree once its owner has gone, within its grace.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!ProcessesNaming(dir.Path().string()).empty() &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(ProcessesNaming(dir.Path().string()), std::vector<pid_t>{});

  std::set<std::int32_t> written;
  for (const auto& entry : fs::directory_iterator(out)) {
    std::smatch match;
    const std::string name = entry.path().filename().string();
    if (!std::regex_match(name, match, std::regex(R"(board_(\d+)\.hex)"))) continue;
    const std::int32_t n = std::stoi(match[1]);
    written.insert(n);
    TIntelImage image;
    ASSERT_NO_THROW(image.LoadFromFile(entry.path().string())) << name;
    for (std::uint32_t i = 0; i < 4; ++i) {
      EXPECT_EQ(image.GetByte(kSlot + i), static_cast<std::uint8_t>(n >> (8 * i))) << name;
    }
  }
  std::map<std::string, int> burns;
  std::istringstream burnLines(ReadFileBytes(burnLog));
  for (std::string image, slot; burnLines >> image >> slot;) {
    EXPECT_EQ(++burns[image], 1) << image << " burned twice";
  }
  std::set<std::string> recorded;
  std::istringstream record(ReadFileBytes(dir.File("record.csv")));
  std::string line;
  std::getline(record, line);  // the header
  for (; std::getline(record, line);) {
    std::istringstream fields(line);
    std::string serial;
    for (int k = 0; k < 4; ++k) std::getline(fields, serial, ',');
    EXPECT_TRUE(recorded.insert(serial).second) << serial << " recorded twice";
  }
  ASSERT_FALSE(written.empty());
  EXPECT_GT(IniFile(ini).ReadInteger(skel, "NextSeqNum", -1), *written.rbegin());
  EXPECT_GE(burns.size(), 8u);
  std::printf("%d kills: %zu images written, %zu burned, %zu recorded\n", kSlotKills,
              written.size(), burns.size(), recorded.size());
}
#endif

}  // namespace
}  // namespace velmorin
