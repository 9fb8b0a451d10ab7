// The skeleton file's presence test on Windows: FindFirstFileA with the
// critical-error boxes off.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "platform/files/FileExists.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

// The presence test is a directory search: folders count, and so does any
// entry a wildcard matches.
TEST(FileExistsWin, DirectorySearchFindsFilesFoldersAndWildcardMatches) {
  test::TempDir dir;
  test::WriteFileBytes(dir.File("board.hex"), ":00000001FF\r\n");
  std::filesystem::create_directory(dir.File("folder.hex"));
  const struct {
    std::string path;
    bool present;
  } cases[] = {
      {dir.File("board.hex"), true},
      {dir.File("BOARD.HEX"), true},  // names match without regard to case
      {dir.File("folder.hex"), true},
      {dir.Path().string(), true},
      {dir.File("*.hex"), true},
      {dir.File("board.?ex"), true},
      {dir.File("other.hex"), false},
      {dir.File("*.bin"), false},
      {dir.File("board.hex\\inside"), false},
      {dir.File("gone\\board.hex"), false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(FileExists(c.path), c.present) << c.path;
}

TEST(FileExistsWin, RestoresTheCallersErrorMode) {
  const UINT original = ::SetErrorMode(SEM_NOOPENFILEERRORBOX);
  test::TempDir dir;
  EXPECT_FALSE(FileExists(dir.File("missing.hex")));
  EXPECT_TRUE(FileExists(dir.Path().string()));
  const UINT after = ::SetErrorMode(original);
  EXPECT_EQ(after, static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
}

}  // namespace
}  // namespace velmorin
