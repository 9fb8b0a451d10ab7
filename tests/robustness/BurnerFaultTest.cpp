// Burners that misbehave: one that floods its output, one that never ends and
// is stopped from outside, one that dies by a signal, and one that exists only
// in the current folder under a name without "/". Each counts as a failed
// burn, leaves the output file and the used number as they are, leaves no
// child behind (running or zombie), and sees no descriptor of ours but 0, 1
// and 2.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/ini/IniFile.h"
#include "profiles/WorkingProfile.h"
#include "serialize/Session.h"
#include "tests/robustness/ChildProcess.h"
#include "tests/support/RecordingObserver.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;
constexpr const char* kBurner = VELMORIN_MISBEHAVING_BURNER;

// The descriptors a burner listed, by number.
std::map<int, std::string> ListedDescriptors(const std::string& path) {
  std::map<int, std::string> fds;
  std::istringstream in(ReadFileBytes(path));
  int fd = -1;
  std::string target;
  while (in >> fd >> target) fds[fd] = target;
  return fds;
}

using test::ScopedEnv;

// Standard output and error of this process go to a file for one scope.
class ScopedOutputCapture {
 public:
  explicit ScopedOutputCapture(const std::string& file) {
    std::fflush(stdout);
    std::fflush(stderr);
    FSavedOut = ::dup(STDOUT_FILENO);
    FSavedErr = ::dup(STDERR_FILENO);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ::dup2(fd, STDOUT_FILENO);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  ~ScopedOutputCapture() {
    ::dup2(FSavedOut, STDOUT_FILENO);
    ::dup2(FSavedErr, STDERR_FILENO);
    ::close(FSavedOut);
    ::close(FSavedErr);
  }

 private:
  int FSavedOut, FSavedErr;
};

// Stops the burner's whole process group from outside after `delay`, as a
// "Stop" button of the window would.
class DelayedStopper : public ProcessObserver {
 public:
  explicit DelayedStopper(std::chrono::milliseconds delay) : FDelay(delay) {}
  ~DelayedStopper() override {
    if (FThread.joinable()) FThread.join();
  }
  void Started(ProcessId id) override {
    started = id;
    FThread = std::thread([this, id] {
      std::this_thread::sleep_for(FDelay);
      ::kill(-static_cast<pid_t>(id), SIGKILL);
    });
  }
  void Finished(std::uint32_t result) override { finished = result; }

  ProcessId started = 0;
  std::optional<std::uint32_t> finished;

 private:
  std::chrono::milliseconds FDelay;
  std::thread FThread;
};

class BurnerFaultTest : public ::testing::Test {
 protected:
  BurnerFaultTest() : session(IniLocation{dir.File("velmorin.ini"), false}, op) {
    skelPath = dir.File("board.hex");
    WriteFileBytes(skelPath, ":10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n");
    fs::create_directory(dir.File("out"));
    profile.EditSkeletonText(skelPath);
    profile.EditableSettings().NextSeqNum = 40;
    profile.EditableSettings().SeqNumSize = 2;
    profile.EditableSettings().SeqNumOfs[0] = 4;
    profile.EditableSettings().OutputFolder = dir.File("out");
    profile.EditableSettings().DontBurn = false;
    profile.EditableSettings().HideBurner = true;
    fdsFile = dir.File("fds");
    // Descriptors a careless part of the program might leave inheritable.
    leakedFile = ::open(dir.File("leak").c_str(), O_WRONLY | O_CREAT, 0644);
    if (::pipe(leakedPipe) != 0) leakedPipe[0] = leakedPipe[1] = -1;
  }
  ~BurnerFaultTest() override {
    ::close(leakedFile);
    ::close(leakedPipe[0]);
    ::close(leakedPipe[1]);
  }

  void UseBurner(const std::string& mode) {
    profile.EditableSettings().BurnerCmdLine =
        std::string(kBurner) + " " + mode + " " + fdsFile + " $image";
  }

  // One serialization with OK to the question; how long it took.
  std::chrono::milliseconds SerializeTimed(bool& done) {
    op.AnswerBox(mrOk);
    const auto start = std::chrono::steady_clock::now();
    done = session.SerializeImage();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  }

  // What every failed burn must leave: the output file complete with the
  // number's bytes, the number used, no child of ours, and only 0, 1, 2 seen.
  void ExpectNothingLost(std::int32_t seqNum, bool burnerRan) {
    const std::string output = dir.File("out/board_" + std::to_string(seqNum) + ".hex");
    TIntelImage image;
    ASSERT_NO_THROW(image.LoadFromFile(output));
    EXPECT_EQ(image.GetByte(4), static_cast<std::uint8_t>(seqNum >> 8));
    EXPECT_EQ(image.GetByte(5), static_cast<std::uint8_t>(seqNum));
    EXPECT_EQ(image.GetByte(6), 6);
    EXPECT_EQ(IniFile(session.IniPath()).ReadInteger(skelPath, "NextSeqNum", -1), seqNum + 1);
    EXPECT_EQ(test::ChildrenOf(::getpid()), std::vector<pid_t>{});
    if (burnerRan) {
      const auto fds = ListedDescriptors(fdsFile);
      EXPECT_EQ(fds.size(), 3u);
      for (const int fd : {0, 1, 2}) EXPECT_EQ(fds.count(fd), 1u) << fd;
    } else {
      EXPECT_FALSE(fs::exists(fdsFile));
    }
  }

  test::TempDir dir;
  test::ScriptedOperator op;
  Session session;
  WorkingProfile& profile = session.Profile();
  std::string skelPath, fdsFile;
  int leakedFile = -1;
  int leakedPipe[2] = {-1, -1};
};

TEST_F(BurnerFaultTest, FloodingBurnerIsNeitherHeldNorBuffered) {
  UseBurner("flood");
  bool done = true;
  // Hidden: the flood goes to /dev/null.
  SerializeTimed(done);
  EXPECT_FALSE(done);
  ExpectNothingLost(40, true);
  EXPECT_EQ(ListedDescriptors(fdsFile).at(1), "/dev/null");

  // Shown: it goes to our own output, all 16 MiB, and none of it through us.
  profile.EditableSettings().HideBurner = false;
  const std::string captured = dir.File("captured");
  {
    ScopedOutputCapture capture(captured);
    SerializeTimed(done);
  }
  EXPECT_FALSE(done);
  ExpectNothingLost(41, true);
  EXPECT_EQ(fs::file_size(captured), 16u << 20);
}

TEST_F(BurnerFaultTest, BurnerThatNeverEndsIsStoppedFromOutsideWithItsChildren) {
  UseBurner("hang");
  DelayedStopper stopper(std::chrono::milliseconds(300));
  ExecBurnerRunner runner(&stopper);
  session.SetBurnerRunner(runner);
  bool done = true;
  const auto took = SerializeTimed(done);
  EXPECT_FALSE(done);
  EXPECT_LT(took.count(), 10000);
  EXPECT_EQ(stopper.finished, kExecFailed);
  ExpectNothingLost(40, true);

  // The grandchild was in the burner's process group and went with it; it is
  // gone, or a zombie waiting for the process that adopted it.
  std::istringstream grandchild(ReadFileBytes(fdsFile + ".grandchild"));
  pid_t pid = 0;
  grandchild >> pid;
  ASSERT_GT(pid, 0);
  char state = 'R';
  for (int i = 0; i < 100 && state != '\0' && state != 'Z'; ++i) {
    state = test::ProcessState(pid);
    if (state != '\0' && state != 'Z') std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(state == '\0' || state == 'Z') << state;
}

TEST_F(BurnerFaultTest, BurnerKilledBySignalFails) {
  UseBurner("signal");
  bool done = true;
  SerializeTimed(done);
  EXPECT_FALSE(done);
  ExpectNothingLost(40, true);

  // The same burner ending well is a success: the failures above are the
  // burner's doing, not the set-up's.
  UseBurner("succeed");
  SerializeTimed(done);
  EXPECT_TRUE(done);
  ExpectNothingLost(41, true);
}

TEST_F(BurnerFaultTest, BurnerOnlyInTheCurrentFolderDoesNotRun) {
  const std::string folder = dir.File("cwd");
  fs::create_directory(folder);
  fs::copy_file(kBurner, folder + "/velmorin-cwd-burner");
  fs::permissions(folder + "/velmorin-cwd-burner", fs::perms::owner_all);
  const fs::path oldCwd = fs::current_path();
  fs::current_path(folder);
  bool done = true;
  {
    // Empty, "." and relative entries must not lead to the current folder.
    ScopedEnv path("PATH", ":.:cwd:/usr/bin:/bin");
    profile.EditableSettings().BurnerCmdLine = "velmorin-cwd-burner marker " + fdsFile + " $image";
    SerializeTimed(done);
  }
  fs::current_path(oldCwd);
  EXPECT_FALSE(done);
  EXPECT_FALSE(fs::exists(folder + "/ran-from-cwd"));
  ExpectNothingLost(40, false);
}

}  // namespace
}  // namespace velmorin
