#include <gtest/gtest.h>

#include <filesystem>

#include "serialize/SeqNumStamp.h"
#include "tests/serialize/BurnerFixture.h"
#include "tests/serialize/SerializerFixture.h"
#include "tests/support/SystemSkip.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::SerializerTest;

TEST(OutputFileName, StemUnderscoreDecimalAndLowerCaseHex) {
  const struct {
    const char* skelFile;
    std::int32_t seqNum;
    const char* name;
  } cases[] = {
      {"/fw/board.hex", 17, "board_17.hex"},
      {"/fw/board.rev2.hex", 1, "board.rev2_1.hex"},
      {"/fw/board", 1, "board_1.hex"},
      {"/fw/board.", 1, "board_1.hex"},
      {"/fw/.hex", 1, "_1.hex"},
      {"BOARD.HEX", 1, "BOARD_1.hex"},
      {"fw.ihx", 1, "fw_1.hex"},
      {"/fw/board.hex", -5, "board_-5.hex"},
      {"/fw/board.hex", 0, "board_0.hex"},
      {"/fw/board.hex", INT32_MIN, "board_-2147483648.hex"},
      {"/fw/board.hex", INT32_MAX, "board_2147483647.hex"},
      {"/my fw/my board.hex", 3, "my board_3.hex"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.skelFile);
    EXPECT_EQ(OutputFileName(c.skelFile, c.seqNum), c.name);
  }
}

class SaveOutputImageTest : public SerializerTest {
 protected:
  SaveOutputImageTest() { image.LoadFromText(test::HexRecord(0, {1, 2, 3, 4}) + test::kHexEnd); }
  TIntelImage image;
};

TEST_F(SaveOutputImageTest, WritesUnderTheJoinedPath) {
  VELMORIN_SKIP_ON_WINDOWS("POSIX separators; OutputNameWinTest writes under the Windows rules");
  const std::string d = dir.Path().string();
  fs::create_directories(dir.File("out"));
  fs::create_directories(dir.File("C:"));
  fs::create_directories(dir.File("my out"));
  test::ScopedCurrentPath cwd(dir.Path());  // for the relative folders
  const struct {
    std::string skelFile;
    std::string folder;
    std::int32_t seqNum;
    std::string path;
  } cases[] = {
      {"/fw/board.hex", d + "/out", 17, d + "/out/board_17.hex"},
      {"/fw/board.hex", d + "/out/", 17, d + "/out/board_17.hex"},
      {"/fw/board.hex", "", 17, "board_17.hex"},
      {"/fw/board.hex", "C:", 17, "C:/board_17.hex"},
      {"/fw/board.hex", d + "/out", -5, d + "/out/board_-5.hex"},
      {"/fw/BOARD.HEX", "out", 1, "out/BOARD_1.hex"},
      {"/fw/fw.ihx", "./out", 1, "./out/fw_1.hex"},
      {"/my fw/my board.hex", d + "/my out", 2, d + "/my out/my board_2.hex"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder + " " + c.skelFile);
    profile.EditSkeletonText(c.skelFile);
    profile.EditableSettings().OutputFolder = c.folder;
    std::string path;
    serializer.SaveOutputImage(image, c.seqNum, path);
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(test::ReadFileBytes(c.path), image.SaveToText());
    fs::remove(c.path);
  }
}

TEST_F(SaveOutputImageTest, SameNumberReplacesTheEarlierFile) {
  profile.EditSkeletonText("/fw/board.hex");
  std::string path;
  serializer.SaveOutputImage(image, 9, path);
  image.SetByte(0, 0xAA);
  std::string again;
  serializer.SaveOutputImage(image, 9, again);
  EXPECT_EQ(again, path);
  TIntelImage readBack;
  readBack.LoadFromFile(path);
  EXPECT_EQ(readBack.GetByte(0), 0xAA);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator{}), 1);
}

TEST_F(SaveOutputImageTest, DontSaveWritesNothingAndLeavesThePath) {
  profile.EditSkeletonText("/fw/board.hex");
  profile.EditableSettings().DontSave = true;
  std::string path;
  serializer.SaveOutputImage(image, 1, path);
  EXPECT_EQ(path, "");
  std::string preset = "as the caller set it";
  serializer.SaveOutputImage(image, 1, preset);
  EXPECT_EQ(preset, "as the caller set it");
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST_F(SaveOutputImageTest, MissingFolderRaisesAndLeavesNoFile) {
  profile.EditSkeletonText("/fw/board.hex");
  profile.EditableSettings().OutputFolder = dir.File("missing");
  std::string path;
  EXPECT_THROW(serializer.SaveOutputImage(image, 1, path), EInOutError);
  EXPECT_FALSE(fs::exists(dir.File("missing")));
}

}  // namespace
}  // namespace velmorin
