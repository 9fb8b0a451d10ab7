// The INI file met by real processes: a read that the system reports as
// failed (made so by a preloaded shim in a child) is never taken for an empty
// or shorter file, and a second copy of the program on a held file is refused
// until the first one is gone, also when it was killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "image/IntelImage.h"
#include "tests/robustness/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

struct Fault {
  int open = 0;  // which opening of the INI file is hit
  int read = 1;  // which read() on it fails
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1) {
    lines.push_back(text.substr(start, lf - start));
  }
  return lines;
}

using test::ScopedEnv;

class IniFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ini = dir.File("velmorin.ini");
    skel = dir.File("board.hex");
    out = dir.File("out");
    fs::create_directory(out);
    TIntelImage image;
    image.Segments.push_back({0, std::vector<std::uint8_t>(64, 0xFF)});
    WriteFileBytes(skel, image.SaveToText());
  }

  // Five sections: the board's profile with all its keys (so a store changes
  // only NextSeqNum in place), three others and "Options" selecting the board.
  std::string IniWith(int nextSeqNum) const {
    std::string text = "[" + skel + "]\r\nNextSeqNum=" + std::to_string(nextSeqNum) +
                       "\r\nAutoIncSeq=1\r\nSeqNumSize=2\r\nSetSeqNumOfs1=1\r\nSeqNumOfs1=16\r\n"
                       "SetSeqNumOfs2=0\r\nSeqNumOfs2=0\r\nSetSeqNumOfs3=0\r\nSeqNumOfs3=0\r\n"
                       "SetSeqNumOfs4=0\r\nSeqNumOfs4=0\r\nByteOrder=0\r\nBurnerCmdLine=\r\n"
                       "DontBurn=1\r\nHideBurner=0\r\nOutputFolder=" +
                       out + "\r\nDontSave=0\r\n";
    for (const char* other : {"/fw/a.hex", "/fw/b.hex", "/fw/c.hex"}) {
      text += std::string("[") + other + "]\r\nNextSeqNum=900\r\nOutputFolder=/x\r\n";
    }
    return text + "[Options]\r\nDefaultImg=0\r\n";
  }

  // Runs the child with `steps` and returns what it printed, line by line.
  std::vector<std::string> Run(const std::vector<std::string>& steps,
                               std::optional<Fault> fault = std::nullopt) {
    std::optional<ScopedEnv> preload, file, open, read, asan;
    if (fault) {
      preload.emplace("LD_PRELOAD", VELMORIN_READ_FAULT_SHIM);
      file.emplace("VELMORIN_FAULT_FILE", ini);
      open.emplace("VELMORIN_FAULT_OPEN", std::to_string(fault->open));
      read.emplace("VELMORIN_FAULT_READ", std::to_string(fault->read));
      // The shim comes before the sanitizer's runtime, which it then lets pass.
      const char* old = std::getenv("ASAN_OPTIONS");
      asan.emplace("ASAN_OPTIONS",
                   std::string(old != nullptr ? old : "") + ":verify_asan_link_order=0");
    }
    const std::string output = dir.File("child-" + std::to_string(++runs) + ".txt");
    const pid_t pid = test::StartChild(Argv(steps), output);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    return Lines(ReadFileBytes(output));
  }

  std::vector<std::string> Argv(const std::vector<std::string>& steps) const {
    std::vector<std::string> argv = {VELMORIN_PROFILE_CHILD, ini};
    argv.insert(argv.end(), steps.begin(), steps.end());
    return argv;
  }

  std::vector<std::string> Outputs() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir dir;
  std::string ini, skel, out;
  int runs = 0;
};

// Image 6 of a batch: its store reads the file, and that read fails after
// the first block. The store must not rebuild the file from what it got: the
// batch stops with the write error and the file stays as image 5 left it.
TEST_F(IniFaultTest, FailedReadInABatchStopsItAndKeepsTheFile) {
  WriteFileBytes(ini, IniWith(0));
  // Opening 1 is the start-up read; image k's store is opening k + 1.
  const auto lines = Run({"open", "batch:10"}, Fault{7, 2});
  EXPECT_EQ(lines, (std::vector<std::string>{"open: ok", "batch:10: Unable to write to " + ini}));
  EXPECT_EQ(ReadFileBytes(ini), IniWith(5));
  EXPECT_EQ(Outputs(), (std::vector<std::string>{"board_0.hex", "board_1.hex", "board_2.hex",
                                                 "board_3.hex", "board_4.hex"}));
}

// A failed read at start-up, or at the load of the entry, tells the operator
// the file and the reason, and no serialization may follow until a load has
// read the file: no number below the stored 600 is ever used or stored.
TEST_F(IniFaultTest, FailedLoadTellsTheOperatorAndRefusesToSerialize) {
  const std::string reason = "Unable to read " + ini + ": I/O error 5";
  const std::string refusedAtStart = "The profiles in " + ini +
                                     " could not be read at start; restart Velmorin before "
                                     "storing or serializing";
  const std::string refusedProfile = "The profile was not read from " + ini +
                                     "; select the skeleton file again before storing or "
                                     "serializing";
  const struct {
    const char* name;
    Fault fault;
    std::vector<std::string> steps;
    std::vector<std::string> expected;
    int storedAfter;  // NextSeqNum on disk afterwards
    std::vector<std::string> outputs;
  } cases[] = {
      {"start-up read",
       {1, 1},
       {"open", "type:" + skel, "batch:3", "close"},
       {"open: " + reason, "type:" + skel + ": ok", "batch:3: " + refusedAtStart, "close: ok"},
       600,
       {}},
      {"load of the entry, then a good one",
       {2, 2},
       {"open", "select:0", "batch:3", "select:0", "batch:3", "close"},
       {"open: ok", "select:0: " + reason, "batch:3: " + refusedProfile, "select:0: ok",
        "box: 3 images serialized OK.", "batch:3: ok", "close: ok"},
       603,
       {"board_600.hex", "board_601.hex", "board_602.hex"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& entry : fs::directory_iterator(out)) fs::remove(entry.path());
    WriteFileBytes(ini, IniWith(600));
    EXPECT_EQ(Run(c.steps, c.fault), c.expected);
    EXPECT_EQ(ReadFileBytes(ini), IniWith(c.storedAfter));
    EXPECT_EQ(Outputs(), c.outputs);
  }
}

// While one process holds the file a second is refused, names the file and
// writes nothing, not even DefaultImg at its close; once the first is killed,
// the next start goes through at once.
TEST_F(IniFaultTest, SecondCopyIsRefusedUntilTheFirstIsKilled) {
  WriteFileBytes(ini, "[" + skel + "]\r\nNextSeqNum=600\r\n");
  const std::string before = ReadFileBytes(ini);
  const std::string firstOutput = dir.File("first.txt");
  const pid_t first = test::StartChild(Argv({"open", "hold"}), firstOutput);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (Lines(fs::exists(firstOutput) ? ReadFileBytes(firstOutput) : "").size() < 2 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(Lines(ReadFileBytes(firstOutput)), (std::vector<std::string>{"open: ok", "holding"}));

  EXPECT_EQ(
      Run({"open", "close"}),
      (std::vector<std::string>{
          "open: The INI file " + ini + " is in use by another copy of Velmorin", "close: ok"}));
  EXPECT_EQ(ReadFileBytes(ini), before);

  ASSERT_EQ(::kill(first, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(first, &status, 0), first);
  EXPECT_EQ(Run({"open", "close"}), (std::vector<std::string>{"open: ok", "close: ok"}));
  // This time the selection was stored at the close.
  EXPECT_EQ(ReadFileBytes(ini), before + "[Options]\r\nDefaultImg=-1\r\n");
}

}  // namespace
}  // namespace velmorin
