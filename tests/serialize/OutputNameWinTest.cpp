// Output names and paths under the Windows rules, over the examples the
// operator's documentation gives, and real files written by them.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files/PathNames.h"
#include "serialize/SeqNumStamp.h"
#include "tests/serialize/BurnerFixture.h"
#include "tests/serialize/SerializerFixture.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;

TEST(OutputNameWin, PathsForTheBoardSkeleton) {
  const struct {
    const char* folder;
    std::int32_t seqNum;
    const char* path;
  } cases[] = {
      {"C:\\out", 17, "C:\\out\\board_17.hex"},
      {"C:\\out\\", 17, "C:\\out\\board_17.hex"},
      {"", 17, "board_17.hex"},
      {"C:", 17, "C:\\board_17.hex"},
      {"C:\\out", -5, "C:\\out\\board_-5.hex"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    EXPECT_EQ(JoinPath(c.folder, OutputFileName("D:\\fw\\board.hex", c.seqNum)), c.path);
  }
}

TEST(OutputNameWin, NamesForSkeletonsOfEveryShape) {
  const std::pair<const char*, const char*> cases[] = {
      {"D:\\fw\\board.hex", "board_1.hex"},
      {"D:\\fw\\board.rev2.hex", "board.rev2_1.hex"},
      {"D:\\fw\\board", "board_1.hex"},
      {"D:\\fw\\board.", "board_1.hex"},
      {"D:\\fw\\.hex", "_1.hex"},
      {"BOARD.HEX", "BOARD_1.hex"},
      {"D:\\fw\\fw.ihx", "fw_1.hex"},
      {"D:board.hex", "board_1.hex"},
      {"D:\\My fw\\my board.hex", "my board_1.hex"},
  };
  for (const auto& [skelFile, name] : cases)
    EXPECT_EQ(OutputFileName(skelFile, 1), name) << skelFile;
}

class SaveOutputImageWinTest : public test::SerializerTest {
 protected:
  SaveOutputImageWinTest() {
    image.LoadFromText(test::HexRecord(0, {1, 2, 3, 4}) + test::kHexEnd);
    profile.EditSkeletonText("D:\\fw\\board.hex");  // only its name is used
  }
  TIntelImage image;
};

TEST_F(SaveOutputImageWinTest, WritesWhereTheJoinedPathPoints) {
  const std::string d = dir.Path().string();
  fs::create_directories(dir.File("out"));
  fs::create_directories(dir.File("My Out"));
  test::ScopedCurrentPath cwd(dir.Path());  // for the relative folders
  const struct {
    std::string folder;
    std::int32_t seqNum;
    std::string path;
  } cases[] = {
      {d + "\\out", 17, d + "\\out\\board_17.hex"},
      {d + "\\out\\", 17, d + "\\out\\board_17.hex"},
      {"", 17, "board_17.hex"},
      {"out", -5, "out\\board_-5.hex"},
      {".\\out\\", 3, ".\\out\\board_3.hex"},
      {d + "\\My Out", 2, d + "\\My Out\\board_2.hex"},
      // A forward slash stays and still gets a backslash; Windows reads both.
      {d + "/out/", 4, d + "/out/\\board_4.hex"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    profile.EditableSettings().OutputFolder = c.folder;
    std::string path;
    serializer.SaveOutputImage(image, c.seqNum, path);
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(test::ReadFileBytes(c.path), image.SaveToText());
    fs::remove(c.path);
  }
}

TEST_F(SaveOutputImageWinTest, InvalidOrMissingFolderRaisesAndWritesNothing) {
  for (const std::string& folder : {dir.File("missing"), dir.File("bad|name")}) {
    SCOPED_TRACE(folder);
    profile.EditableSettings().OutputFolder = folder;
    std::string path;
    EXPECT_THROW(serializer.SaveOutputImage(image, 1, path), EInOutError);
  }
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

}  // namespace
}  // namespace velmorin
