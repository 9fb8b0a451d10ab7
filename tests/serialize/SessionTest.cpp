// The session as a front end without a window uses it: the plain view and the
// answering operator over a real INI file.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/Exceptions.h"
#include "platform/ini/IniFile.h"
#include "serialize/AnswerOperator.h"
#include "serialize/Session.h"
#include "tests/serialize/SerializerFixture.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() : iniPath(dir.File("velmorin.ini")), session(IniLocation{iniPath, false}, op) {
    IniFile::Changes changes;
    changes.WriteInteger("Options", "DefaultImg", 1)
        .WriteInteger("/fw/a.hex", "NextSeqNum", 5)
        .WriteInteger("/fw/B.hex", "NextSeqNum", 9)
        .WriteString("/fw/B.hex", "OutputFolder", "/out");
    IniFile(iniPath).Apply(changes);
  }

  test::TempDir dir;
  std::string iniPath;
  AnswerOperator op;
  Session session;
  WorkingProfile& profile = session.Profile();
};

TEST_F(SessionTest, SecondSessionOnTheSameFileIsRefusedAsInUse) {
  session.Open();
  Session other(IniLocation{iniPath, false}, op);
  EXPECT_THROW(other.Open(), EIniFileInUse);
  EXPECT_TRUE(other.Profile().Names().empty());
  session.Close();
  EXPECT_NO_THROW(other.Open());
}

TEST_F(SessionTest, ListsAndLoadsProfilesWithoutAsking) {
  session.Open();
  EXPECT_EQ(session.ProfileNames(), (std::vector<std::string>{"/fw/a.hex", "/fw/B.hex"}));
  EXPECT_EQ(profile.SelectedIndex(), 1);       // the last selection
  profile.EditableSettings().NextSeqNum = 77;  // changed, and never stored

  // Found without regard to letter case; the entry's own spelling goes into the box.
  EXPECT_TRUE(session.LoadProfile("/FW/A.HEX"));
  EXPECT_EQ(profile.SelectedIndex(), 0);
  EXPECT_EQ(profile.SkeletonText(), "/fw/a.hex");
  EXPECT_EQ(profile.Settings().NextSeqNum, 5);
  EXPECT_EQ(IniFile(iniPath).ReadInteger("/fw/B.hex", "NextSeqNum", -1), 9);

  // No profile: a new file's defaults under the given name.
  EXPECT_FALSE(session.LoadProfile("/fw/new.hex"));
  EXPECT_EQ(profile.SelectedIndex(), -1);
  EXPECT_EQ(profile.SkeletonText(), "/fw/new.hex");
  EXPECT_EQ(profile.Settings().NextSeqNum, 0);
  EXPECT_EQ(profile.Settings().OutputFolder, ".");
  EXPECT_EQ(op.BoxCount(), 0u);

  // Stored, it is listed; the list in the view is the start-up's.
  profile.EditableSettings().NextSeqNum = 12;
  session.StoreProfile();
  EXPECT_EQ(session.ProfileNames().size(), 3u);
  EXPECT_TRUE(session.LoadProfile("/fw/B.hex"));
  EXPECT_FALSE(session.LoadProfile("/fw/new.hex"));
}

TEST_F(SessionTest, SerializesWithTheRecordItReadAtOpen) {
  IniFile(iniPath).WriteString("Options", "ProductionLog", "record.csv");
  session.Open();
  EXPECT_EQ(session.ProductionLogName(), "record.csv");
  const std::string skeleton = dir.File("board.hex");
  test::WriteFileBytes(skeleton, test::HexRecord(0, test::Ramp(16)) + test::kHexEnd);
  ASSERT_FALSE(session.LoadProfile(skeleton));
  profile.EditableSettings().OutputFolder = dir.Path().string();
  std::vector<std::int32_t> heard;
  session.SetSerialObserver([&heard](const ProductionEntry& e) { heard.push_back(e.Serial); });
  EXPECT_TRUE(session.SerializeOne());
  EXPECT_EQ(op.LastBoxText(), "Image serialized OK.");
  EXPECT_TRUE(session.SerializeBatch(2).Finished());
  EXPECT_EQ(op.LastBoxText(), "2 images serialized OK.");
  EXPECT_EQ(heard, (std::vector<std::int32_t>{0, 1, 2}));
  EXPECT_EQ(IniFile(iniPath).ReadInteger(skeleton, "NextSeqNum", -1), 3);
  EXPECT_TRUE(std::filesystem::exists(dir.File("record.csv")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("board_2.hex")));
}

}  // namespace
}  // namespace velmorin
