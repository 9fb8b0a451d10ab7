// What the atomic writer keeps of the file it replaces on POSIX: its mode bits,
// which Windows does not have.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/files/AtomicFileWriter.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

TEST(AtomicFileWriter, KeepsTheModeOfTheFileItReplaces) {
  test::TempDir dir;
  const std::string target = dir.File("profile.ini");
  test::WriteFileBytes(target, "x");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  AtomicFileWriter::WriteWholeFile(target, "y", Durability::Synced);
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(test::ReadFileBytes(target), "y");
}

}  // namespace
}  // namespace velmorin
