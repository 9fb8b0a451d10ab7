// File faults on the road of a serialization: a full disk (a real, small
// tmpfs where the machine lets us mount one), read-only folders, a missing
// output folder, and files replaced by folders. Each must give the operator
// the table's message and lose nothing: the INI file stays byte for byte when
// its write fails, no partial output file and no temporary file is left, and
// an older output file of the same name stays as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ini/IniFile.h"
#include "profiles/WorkingProfile.h"
#include "serialize/Session.h"
#include "tests/support/RecordingObserver.h"
#include "tests/support/ScopedFilePermissions.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

// The skeleton: `size` bytes from address 0, 16 to a record.
std::string SkeletonText(std::size_t size) {
  TIntelImage image;
  image.MaxRecLen = 16;
  TImageSegment segment{0, std::vector<std::uint8_t>(size)};
  for (std::size_t i = 0; i < size; ++i) segment.Data[i] = static_cast<std::uint8_t>(i * 7);
  image.Segments.push_back(segment);
  return image.SaveToText();
}

// Every name in `folder` that a writer's temporary file would have.
std::vector<std::string> TempFilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".tmp-") != std::string::npos) names.push_back(name);
  }
  return names;
}

class FileFaultTest : public ::testing::Test {
 protected:
  // The INI file in `iniFolder`, the output in `outFolder` (both under the
  // test's folder); a stored profile with Next SN 7 under "Auto Inc.".
  void SetUpStore(const std::string& iniFolder, const std::string& outFolder,
                  std::size_t skeletonBytes = 256) {
    fs::create_directories(dir.File(iniFolder));
    iniPath = dir.File(iniFolder + "/velmorin.ini");
    outPath = dir.File(outFolder);
    skelPath = dir.File("board.hex");
    WriteFileBytes(skelPath, SkeletonText(skeletonBytes));
    session.emplace(IniLocation{iniPath, false}, op);
    session->Profile().EditSkeletonText(skelPath);
    session->Profile().EditableSettings().NextSeqNum = 7;
    session->Profile().EditableSettings().SeqNumSize = 4;
    session->Profile().EditableSettings().SeqNumOfs[0] = 0x10;
    session->Profile().EditableSettings().OutputFolder = outPath;
    session->StoreProfile();
    iniBefore = ReadFileBytes(iniPath);
  }

  // Runs one serialization; the message of the error it raised, or nothing.
  std::optional<std::string> Serialize() {
    try {
      session->SerializeImage();
    } catch (const Exception& e) {
      return e.Message();
    }
    return std::nullopt;
  }

  std::int32_t StoredNextSeqNum() const {
    return IniFile(iniPath).ReadInteger(skelPath, "NextSeqNum", -1);
  }
  std::string OutputFile() const { return outPath + "/board_7.hex"; }

  test::TempDir dir;
  test::ScriptedOperator op;
  std::optional<Session> session;
  std::string iniPath, outPath, skelPath, iniBefore;
};

// The output can't be written: the number stays used (stored before the
// image is stamped), and nothing appears under the output's name.
TEST_F(FileFaultTest, OutputThatCannotBeWrittenLeavesNoFile) {
  const struct {
    const char* name;
    std::function<void(const std::string& out)> prepare;
    bool dropPermissions;
    const char* message;
    bool outputIsFolder;
  } cases[] = {
      {"missing output folder", [](const std::string&) {}, false, "Invalid filename", false},
      {"read-only output folder",
       [](const std::string& out) {
         fs::create_directory(out);
         ::chmod(out.c_str(), 0555);
       },
       true, "File access denied", false},
      {"output name taken by a folder",
       [](const std::string& out) { fs::create_directories(out + "/board_7.hex"); }, false,
       "File access denied", true},
      {"output folder is a file",
       [](const std::string& out) { WriteFileBytes(out, "not a folder"); }, false,
       "Invalid filename", false},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUpStore("ini" + std::to_string(round), "out" + std::to_string(round));
    ++round;
    c.prepare(outPath);
    std::optional<std::string> message;
    {
      std::optional<test::ScopedFilePermissions> permissions;
      if (c.dropPermissions) permissions.emplace();
      message = Serialize();
    }
    EXPECT_EQ(message.value_or("(no error)"), c.message);
    EXPECT_EQ(StoredNextSeqNum(), 8);
    EXPECT_EQ(fs::is_directory(OutputFile()), c.outputIsFolder);
    if (c.outputIsFolder) {
      EXPECT_TRUE(fs::is_empty(OutputFile()));
    }
    EXPECT_FALSE(fs::is_regular_file(OutputFile()));
    if (fs::is_directory(outPath)) {
      EXPECT_EQ(TempFilesIn(outPath), std::vector<std::string>{});
    }
  }
}

// The INI file can't be written: the profile store says so, the file stays
// byte for byte, and the serialization stops before anything is stamped.
TEST_F(FileFaultTest, IniThatCannotBeWrittenStaysByteForByte) {
  const struct {
    const char* name;
    std::function<void(const std::string& ini)> prepare;
    bool dropPermissions;
  } cases[] = {
      {"read-only folder",
       [](const std::string& ini) { ::chmod(fs::path(ini).parent_path().c_str(), 0555); }, true},
      {"read-only file", [](const std::string& ini) { ::chmod(ini.c_str(), 0444); }, true},
      {"file replaced by a folder",
       [](const std::string& ini) {
         fs::remove(ini);
         fs::create_directory(ini);
       },
       false},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUpStore("ini" + std::to_string(round), "out" + std::to_string(round));
    ++round;
    fs::create_directory(outPath);
    c.prepare(iniPath);
    std::optional<std::string> message;
    {
      std::optional<test::ScopedFilePermissions> permissions;
      if (c.dropPermissions) permissions.emplace();
      message = Serialize();
    }
    EXPECT_EQ(message.value_or("(no error)"), "Unable to write to " + iniPath);
    if (fs::is_directory(iniPath)) {
      EXPECT_TRUE(fs::is_empty(iniPath));
    } else {
      EXPECT_EQ(ReadFileBytes(iniPath), iniBefore);
    }
    EXPECT_TRUE(fs::is_empty(outPath));
    EXPECT_EQ(TempFilesIn(fs::path(iniPath).parent_path().string()), std::vector<std::string>{});
  }
}

// A skeleton path that names a folder passes the presence test; reading it
// fails, and no number is taken.
TEST_F(FileFaultTest, SkeletonReplacedByAFolderTakesNoNumber) {
  SetUpStore("ini", "out");
  fs::remove(skelPath);
  fs::create_directory(skelPath);
  EXPECT_EQ(Serialize().value_or("(no error)"), "File access denied");
  EXPECT_EQ(ReadFileBytes(iniPath), iniBefore);
  EXPECT_FALSE(fs::exists(outPath));
}

// A tmpfs of `size` mounted over `folder` in a mount namespace of this
// process's own, so the mount is seen by nobody else and goes with the
// process. Not available without the right to mount (an unprivileged CI).
class ScopedTmpfs {
 public:
  ScopedTmpfs(const std::string& folder, const char* size) : FFolder(folder) {
    static const int namespaceError = [] {
      if (::unshare(CLONE_NEWNS) != 0) return errno;
      // Mounts made here must not travel back to the machine's namespace.
      if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return errno;
      return 0;
    }();
    if (namespaceError != 0) {
      FError = std::string("no private mount namespace: ") + std::strerror(namespaceError);
      return;
    }
    fs::create_directories(folder);
    const std::string options = std::string("size=") + size + ",mode=0755";
    if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
      FError = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
      return;
    }
    FMounted = true;
  }
  ~ScopedTmpfs() {
    if (FMounted) ::umount2(FFolder.c_str(), MNT_DETACH);
  }
  ScopedTmpfs(const ScopedTmpfs&) = delete;
  ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;

  bool Mounted() const { return FMounted; }
  const std::string& Error() const { return FError; }

  // Free bytes on the filesystem.
  std::uint64_t FreeBytes() const {
    struct statvfs st {};
    ::statvfs(FFolder.c_str(), &st);
    return std::uint64_t{st.f_bavail} * st.f_frsize;
  }

  // Fills the filesystem with a file of its own, then gives back `spare`
  // bytes of it.
  void FillLeaving(std::size_t spare) {
    const std::string filler = FFolder + "/filler";
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'x');
    off_t written = 0;
    while (true) {
      const ssize_t n = ::write(fd, block.data(), block.size());
      if (n <= 0) break;
      written += n;
    }
    ASSERT_EQ(errno, ENOSPC);
    ASSERT_EQ(
        ::ftruncate(fd,
                    written > static_cast<off_t>(spare) ? written - static_cast<off_t>(spare) : 0),
        0);
    ::close(fd);
  }

 private:
  std::string FFolder;
  bool FMounted = false;
  std::string FError;
};

// The output image doesn't fit on the disk: "Disk full", the number stays used,
// the older file of that name stays as it was and no temporary file is left.
TEST_F(FileFaultTest, DiskFullWhileWritingTheOutput) {
  ScopedTmpfs disk(dir.File("disk"), "64k");
  if (!disk.Mounted()) GTEST_SKIP() << disk.Error();
  // 8 KiB of data: about 23 KiB of Intel HEX.
  SetUpStore("disk", "disk/out", 8192);
  fs::create_directory(outPath);
  const std::string older = "an older board_7.hex\r\n";
  WriteFileBytes(OutputFile(), older);
  disk.FillLeaving(12 * 1024);
  const std::uint64_t freeBefore = disk.FreeBytes();

  EXPECT_EQ(Serialize().value_or("(no error)"), "Disk full");
  EXPECT_EQ(StoredNextSeqNum(), 8);
  EXPECT_EQ(ReadFileBytes(OutputFile()), older);
  EXPECT_EQ(TempFilesIn(outPath), std::vector<std::string>{});
  // The space the failed write took is given back.
  EXPECT_EQ(disk.FreeBytes(), freeBefore);
}

// The INI file's replacement doesn't fit: the store raises, the old file
// stays byte for byte, and nothing is stamped or written.
TEST_F(FileFaultTest, DiskFullWhileStoringTheNextNumber) {
  ScopedTmpfs disk(dir.File("disk"), "64k");
  if (!disk.Mounted()) GTEST_SKIP() << disk.Error();
  SetUpStore("disk", "disk/out");
  fs::create_directory(outPath);
  disk.FillLeaving(0);
  const std::uint64_t freeBefore = disk.FreeBytes();

  EXPECT_EQ(Serialize().value_or("(no error)"), "Unable to write to " + iniPath);
  EXPECT_EQ(ReadFileBytes(iniPath), iniBefore);
  EXPECT_TRUE(fs::is_empty(outPath));
  EXPECT_EQ(TempFilesIn(dir.File("disk")), std::vector<std::string>{});
  EXPECT_EQ(disk.FreeBytes(), freeBefore);

  // With room again the command goes on from the window's number: 7 was
  // never written anywhere, so it is skipped, not handed out twice.
  EXPECT_EQ(session->Profile().Settings().NextSeqNum, 8);
  fs::remove(dir.File("disk/filler"));
  EXPECT_EQ(Serialize(), std::nullopt);
  EXPECT_EQ(StoredNextSeqNum(), 9);
  EXPECT_TRUE(fs::is_regular_file(outPath + "/board_8.hex"));
  EXPECT_FALSE(fs::exists(OutputFile()));
}

}  // namespace
}  // namespace velmorin
