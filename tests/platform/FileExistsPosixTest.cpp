// The presence test on POSIX: stat(), so names are taken literally;
// FileExistsWinTest.cpp covers the directory search of Windows.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files/FileExists.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

TEST(FileExists, FilesAndFoldersArePresentAndWildcardsAreLiteral) {
  test::TempDir dir;
  test::WriteFileBytes(dir.File("board.hex"), ":00000001FF\n");
  std::filesystem::create_directory(dir.File("folder.hex"));
  std::filesystem::create_symlink(dir.File("gone.hex"), dir.File("dangling.hex"));

  EXPECT_TRUE(FileExists(dir.File("board.hex")));
  EXPECT_TRUE(FileExists(dir.File("folder.hex")));
  EXPECT_TRUE(FileExists(dir.Path().string()));
  EXPECT_FALSE(FileExists(dir.File("other.hex")));
  EXPECT_FALSE(FileExists(dir.File("*.hex")));
  EXPECT_FALSE(FileExists(dir.File("board.?ex")));
  EXPECT_FALSE(FileExists(dir.File("dangling.hex")));
  EXPECT_FALSE(FileExists(dir.File("board.hex/inside")));
  EXPECT_FALSE(FileExists(""));
}

}  // namespace
}  // namespace velmorin
