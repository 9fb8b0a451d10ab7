// Output files and the INI file as a power cut, a kill or an odd target would
// meet them: flushed before they take their name, never replacing what isn't
// a regular file, writable under any legal name, keeping their owner, and
// leaving no temporary file of a dead writer behind.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "base/Exceptions.h"
#include "platform/files/AtomicFileWriter.h"
#include "tests/robustness/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

constexpr const char* kSmallImage = ":0400000001020304F2\r\n:00000001FF\r\n";

std::string HostName() {
  char name[256] = {};
  ::gethostname(name, sizeof name - 1);
  return std::string(name).substr(0, 64);
}

int CodeOfWrite(const std::string& target) {
  try {
    AtomicFileWriter::WriteWholeFile(target, "new", Durability::Synced);
  } catch (const EInOutError& e) {
    return e.ErrorCode();
  }
  return 0;
}

// The system calls of one image write, in order, as strace saw them: the data
// must be flushed before any name points at it, and the folder after.
TEST(DurableOutput, ImageIsOnDiskBeforeItTakesItsName) {
  if (::system("command -v strace >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  test::TempDir dir;
  const std::string in = dir.File("in.hex");
  WriteFileBytes(in, kSmallImage);
  fs::create_directory(dir.File("out"));
  for (const bool replacing : {false, true}) {
    const std::string out = dir.File("out/board_1.hex");
    const std::string trace = dir.File("trace.txt");
    const std::string command =
        // LeakSanitizer cannot watch a process that is being traced.
        "ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o " + trace +
        " -e trace=openat,fsync,fdatasync,linkat,rename,renameat,renameat2 " +
        VELMORIN_STAMP_PROBE + " " + in + " " + out;
    ASSERT_EQ(::system(command.c_str()), 0) << command;
    std::ifstream lines(trace);
    int fileSync = -1, naming = -1, folderSync = -1, n = 0;
    for (std::string line; std::getline(lines, line); ++n) {
      const bool names = line.find("board_1.hex") != std::string::npos;
      if (names && line.find("openat(") != std::string::npos &&
          line.find("O_CREAT") != std::string::npos) {
        ADD_FAILURE() << "the final name was created before the data was complete: " << line;
      }
      if ((line.find("linkat(") != std::string::npos || line.find("rename") != std::string::npos) &&
          names && naming < 0) {
        naming = n;
      }
      if (line.find("fsync(") != std::string::npos && line.find("= 0") != std::string::npos) {
        if (naming < 0)
          fileSync = n;
        else if (folderSync < 0)
          folderSync = n;
      }
    }
    EXPECT_GE(fileSync, 0) << "no flush before the name, replacing=" << replacing << "\n"
                           << ReadFileBytes(trace);
    EXPECT_GT(naming, fileSync) << ReadFileBytes(trace);
    EXPECT_GT(folderSync, naming) << "the folder was not flushed after the name\n"
                                  << ReadFileBytes(trace);
    EXPECT_TRUE(fs::is_regular_file(out));
  }
}

TEST(DurableOutput, TargetsThatAreNoRegularFileAreNeverReplaced) {
  test::TempDir dir;
  const std::string fifo = dir.File("fifo.hex");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string socketPath = dir.File("s.hex");
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string link = dir.File("null-link.hex");
  fs::create_symlink("/dev/null", link);
  std::vector<std::string> targets = {fifo, socketPath, link};
  const std::string device = dir.File("null.hex");
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) targets.push_back(device);

  for (const std::string& target : targets) {
    struct stat before {};
    ASSERT_EQ(::lstat(target.c_str(), &before), 0);
    EXPECT_EQ(CodeOfWrite(target), io_code::AccessDenied) << target;
    struct stat after {};
    ASSERT_EQ(::lstat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << target << " was replaced";
    EXPECT_EQ(after.st_mode, before.st_mode) << target;
  }
  ::close(sock);
  struct stat null {};
  ASSERT_EQ(::stat("/dev/null", &null), 0);
  EXPECT_TRUE(S_ISCHR(null.st_mode));
}

TEST(DurableOutput, AnyNameTheFileSystemTakesCanBeWritten) {
  test::TempDir dir;
  const long longest = ::pathconf(dir.Path().c_str(), _PC_NAME_MAX);
  ASSERT_GT(longest, 16);
  for (const long length : {longest - 11, longest - 1, longest}) {
    const std::string name = std::string(static_cast<std::size_t>(length) - 4, 'b') + ".hex";
    const std::string target = dir.File(name);
    EXPECT_EQ(CodeOfWrite(target), 0) << length;
    // Replacing takes a second, temporary name beside it.
    EXPECT_EQ(CodeOfWrite(target), 0) << length;
    EXPECT_EQ(ReadFileBytes(target), "new");
  }
  EXPECT_EQ(CodeOfWrite(dir.File(std::string(static_cast<std::size_t>(longest) + 1, 'c'))),
            io_code::InvalidFilename);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);
}

TEST(DurableOutput, ReplacedFileKeepsItsOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another owner";
  test::TempDir dir;
  const std::string target = dir.File("board_1.hex");
  WriteFileBytes(target, "old");
  ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
  ASSERT_EQ(CodeOfWrite(target), 0);
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_EQ(ReadFileBytes(target), "new");
}

TEST(DurableOutput, TemporariesOfDeadWritersAreRemovedAndOnlyThose) {
  test::TempDir dir;
  const pid_t dead = ::fork();
  if (dead == 0) ::_exit(0);
  ASSERT_GT(dead, 0);
  ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
  const std::string host = HostName();
  const std::string ofDead = ".velmorin-" + host + "-" + std::to_string(dead) + "-abcdef.tmp";
  const std::string ofLive =
      ".velmorin-" + host + "-" + std::to_string(::getppid()) + "-abcdef.tmp";
  // Another computer's, still fresh: its writer can't be asked.
  const std::string ofOtherHost = ".velmorin-elsewhere-" + std::to_string(dead) + "-abcdef.tmp";
  const std::string notOurs = ".velmorin-notes.tmp";
  for (const std::string& name : {ofDead, ofLive, ofOtherHost, notOurs}) {
    WriteFileBytes(dir.File(name), "partial");
  }
  ASSERT_EQ(CodeOfWrite(dir.File("board_1.hex")), 0);
  EXPECT_FALSE(fs::exists(dir.File(ofDead)));
  for (const std::string& name : {ofLive, ofOtherHost, notOurs}) {
    EXPECT_TRUE(fs::exists(dir.File(name))) << name;
  }
}

}  // namespace
}  // namespace velmorin
