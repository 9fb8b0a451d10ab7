#include <gtest/gtest.h>

#include "platform/files/PathNames.h"

namespace velmorin {
namespace {

// The POSIX rules; PathNamesWinTest.cpp holds the Windows ones.
TEST(PathNames, StemDropsFolderAndLastExtension) {
  const struct {
    const char* path;
    const char* stem;
  } cases[] = {
      {"/fw/board.hex", "board"},
      {"/fw/board.rev2.hex", "board.rev2"},
      {"/fw/board", "board"},
      {"/fw/board.", "board"},
      {"/fw/.hex", ""},
      {"BOARD.HEX", "BOARD"},
      {"fw.ihx", "fw"},
      {"", ""},
      {"/fw/", ""},
      // On POSIX a colon and a backslash are ordinary characters.
      {"D:board.hex", "D:board"},
      {"/fw.d/board", "board"},
      {"/fw/a\\b.hex", "a\\b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FileStem(c.path), c.stem);
  }
}

TEST(PathNames, JoinPutsExactlyOneSlashBetween) {
  const struct {
    const char* folder;
    const char* name;
    const char* path;
  } cases[] = {
      {"/out", "board_17.hex", "/out/board_17.hex"},
      {"/out/", "board_17.hex", "/out/board_17.hex"},
      {"/out/", "/board_17.hex", "/out/board_17.hex"},
      {"/out", "/board_17.hex", "/out/board_17.hex"},
      {"", "board_17.hex", "board_17.hex"},
      {"/out", "", "/out"},
      {"", "", ""},
      {"/", "b.hex", "/b.hex"},
      {".", "b.hex", "./b.hex"},
      {"C:", "board_17.hex", "C:/board_17.hex"},
      {"out\\", "b.hex", "out\\/b.hex"},
      {"/out//", "b.hex", "/out//b.hex"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.folder) + " + " + c.name);
    EXPECT_EQ(JoinPath(c.folder, c.name), c.path);
  }
}

}  // namespace
}  // namespace velmorin
