#include <gtest/gtest.h>

#include "platform/files/AtomicFileWriter.h"
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>

#include "base/Exceptions.h"
#include "platform/files/TextFileWriter.h"
#include "tests/support/ScopedFilePermissions.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

int EntriesIn(const std::filesystem::path& dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

TEST(AtomicFileWriter, TargetAppearsOnlyOnCommit) {
  test::TempDir dir;
  const std::string target = dir.File("out.hex");
  test::WriteFileBytes(target, "old");
  {
    TextFileWriter writer(target);
    writer.WriteLine(":00000001FF");
    EXPECT_EQ(test::ReadFileBytes(target), "old");
    writer.Close();
  }
  EXPECT_EQ(test::ReadFileBytes(target), ":00000001FF\r\n");
  EXPECT_EQ(EntriesIn(dir.Path()), 1);
}

TEST(AtomicFileWriter, DroppedWriterLeavesOldFileAndNoTemporary) {
  test::TempDir dir;
  const std::string target = dir.File("out.hex");
  test::WriteFileBytes(target, "old");
  {
    AtomicFileWriter writer(target, Durability::Synced);
    writer.Write("new bytes that never land");
  }
  EXPECT_EQ(test::ReadFileBytes(target), "old");
  EXPECT_EQ(EntriesIn(dir.Path()), 1);
}

TEST(AtomicFileWriter, KeepsTheModeOfTheFileItReplaces) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no POSIX mode bits";
#else
  test::TempDir dir;
  const std::string target = dir.File("profile.ini");
  test::WriteFileBytes(target, "x");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  AtomicFileWriter::WriteWholeFile(target, "y", Durability::Synced);
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(test::ReadFileBytes(target), "y");
#endif
}

struct FailureCase {
  const char* name;
  int code;
};

TEST(AtomicFileWriter, FailuresGiveTheOperatorsCodesAndLeaveNothing) {
  test::TempDir dir;
  // A missing folder.
  try {
    AtomicFileWriter::WriteWholeFile(dir.File("nowhere/out.hex"), "x", Durability::Normal);
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 3);
  }
  // A folder where the file should be.
  std::filesystem::create_directory(dir.File("taken.hex"));
  try {
    AtomicFileWriter::WriteWholeFile(dir.File("taken.hex"), "x", Durability::Normal);
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), 5);
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("taken.hex")));
#ifndef _WIN32  // a read-only folder attribute does not stop new files on Windows
  // A read-only folder.
  std::filesystem::create_directory(dir.File("ro"));
  test::WriteFileBytes(dir.File("ro/out.hex"), "old");
  ASSERT_EQ(::chmod(dir.File("ro").c_str(), 0555), 0);
  {
    test::ScopedFilePermissions asUser;
    try {
      AtomicFileWriter::WriteWholeFile(dir.File("ro/out.hex"), "new", Durability::Normal);
      FAIL();
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), 5);
      EXPECT_EQ(e.Message(), "File access denied");
    }
  }
  EXPECT_EQ(test::ReadFileBytes(dir.File("ro/out.hex")), "old");
  EXPECT_EQ(EntriesIn(dir.Path()), 2);
  EXPECT_EQ(EntriesIn(dir.File("ro")), 1);
#endif
}

}  // namespace
}  // namespace velmorin
