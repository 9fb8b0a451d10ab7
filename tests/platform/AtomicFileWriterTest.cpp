#include <gtest/gtest.h>

#include <filesystem>

#include "base/Exceptions.h"
#include "platform/files/AtomicFileWriter.h"
#include "platform/files/TextFileWriter.h"
#include "tests/support/ScopedFilePermissions.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

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
  EXPECT_EQ(test::EntriesIn(dir.Path()), 1);
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
  EXPECT_EQ(test::EntriesIn(dir.Path()), 1);
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
  std::filesystem::permissions(
      dir.File("ro"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                          std::filesystem::perms::group_read | std::filesystem::perms::group_exec |
                          std::filesystem::perms::others_read |
                          std::filesystem::perms::others_exec);
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
  EXPECT_EQ(test::EntriesIn(dir.Path()), 2);
  EXPECT_EQ(test::EntriesIn(dir.File("ro")), 1);
#endif
}

}  // namespace
}  // namespace velmorin
