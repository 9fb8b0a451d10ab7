// A session whose INI file names a serial server, against a throwaway
// PostgreSQL cluster: where Next SN comes from, what a store may do to the
// pool, and what the server learns of each number.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "base/Exceptions.h"
#include "pgcluster/PgCluster.h"
#include "platform/ini/IniFile.h"
#include "profiles/ProfileKeys.h"
#include "serialize/AnswerOperator.h"
#include "serialize/ProductionLog.h"
#include "serialize/SeqNumForm.h"
#include "serialize/Session.h"
#include "server/PgConnection.h"
#include "server/SerialPools.h"
#include "server/ServerSerialSource.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

class SessionPoolTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (PgCluster::Unavailable()) return;
    cluster = std::make_unique<PgCluster>();
    cluster->Start();
    SerialPools(cluster->ConnectionString()).InitSchema();
  }
  static void TearDownTestSuite() { cluster.reset(); }

  void SetUp() override {
    if (const auto why = PgCluster::Unavailable()) GTEST_SKIP() << *why;
    skeleton = dir.File("board.hex");
    test::WriteFileBytes(skeleton, ":0400000001020304F2\r\n:00000001FF\r\n");
    ProfileSettings settings;
    settings.NextSeqNum = 5;
    settings.AutoIncSeq = true;
    settings.SeqNumSize = 4;
    settings.OutputFolder = dir.Path().string();
    settings.DontBurn = true;
    // Each test its own pool: the cluster lives for the whole suite.
    pool = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ProfileKeyValues values = EncodeProfile(settings);
    values.emplace_back("SerialPool", pool);
    IniFile(iniPath).WriteValues(skeleton, values);
    IniFile(iniPath).WriteValues(
        "Options", {{"DefaultImg", "0"}, {"SerialServer", cluster->ConnectionString()}});
  }

  std::optional<std::int64_t> PoolNext() {
    const auto state = SerialPools(cluster->ConnectionString()).Find(pool);
    return state ? std::optional<std::int64_t>(state->Next) : std::nullopt;
  }
  // The pool's rows: serial, station, output file, result.
  PgResult Rows() {
    PgConnection pg(cluster->ConnectionString());
    return pg.Exec(
        "SELECT serial, station, output_file, result, finished_at IS NOT NULL, skeleton "
        "FROM velmorin_serial WHERE pool = $1 ORDER BY serial",
        {pool});
  }

  static std::unique_ptr<PgCluster> cluster;
  test::TempDir dir;
  std::string iniPath = dir.File("velmorin.ini");
  std::string skeleton, pool;
  AnswerOperator op;
  Session session{IniLocation{iniPath, false}, op};
  WorkingProfile& profile = session.Profile();
};

std::unique_ptr<PgCluster> SessionPoolTest::cluster;

TEST_F(SessionPoolTest, NextSnFollowsThePoolAndOnlyATypedNumberIsAChange) {
  SerialPools(cluster->ConnectionString()).Create(pool, 1000, std::nullopt);
  session.Open();
  EXPECT_EQ(profile.Settings().NextSeqNum, 1000);
  EXPECT_TRUE(session.ProfileUnchanged());

  // Another station takes a number: loading again shows the pool's next,
  // and the profile still counts as unchanged.
  ServerSerialSource other(cluster->ConnectionString());
  EXPECT_EQ(other.Take({pool, "station 2", skeleton, 0}, [](std::int32_t) {}), 1000);
  ASSERT_TRUE(session.LoadProfile(skeleton));
  EXPECT_EQ(profile.Settings().NextSeqNum, 1001);
  EXPECT_TRUE(session.ProfileUnchanged());
  EXPECT_EQ(IniFile(iniPath).ReadInteger(skeleton, "NextSeqNum", -1), 5);

  // A number below the pool's is refused and names both; the file stays.
  const std::string before = test::ReadFileBytes(iniPath);
  profile.EditableSettings().NextSeqNum = 7;
  EXPECT_FALSE(session.ProfileUnchanged());
  try {
    session.StoreProfile();
    ADD_FAILURE() << "a store below the pool was taken";
  } catch (const ESerialPoolRefused& error) {
    EXPECT_NE(error.Message().find("7"), std::string::npos) << error.Message();
    EXPECT_NE(error.Message().find("1001"), std::string::npos) << error.Message();
  }
  EXPECT_EQ(test::ReadFileBytes(iniPath), before);
  EXPECT_EQ(PoolNext(), 1001);

  // A higher one moves the pool forward.
  profile.EditableSettings().NextSeqNum = 2000;
  session.StoreProfile();
  EXPECT_EQ(PoolNext(), 2000);
  EXPECT_EQ(IniFile(iniPath).ReadInteger(skeleton, "NextSeqNum", -1), 2000);
}

// A station that counted 400..499 by itself (Next SN 500) joins pool board
// at 450: the pool moves up to 500 at the load, and the station's own
// numbers are never handed out again. A Next SN typed above the pool, not
// stored, moves it up at the take.
TEST_F(SessionPoolTest, AStationJoiningAPoolBehindItsOwnCounterMovesThePoolUp) {
  IniFile(iniPath).WriteString(skeleton, "NextSeqNum", "500");
  SerialPools(cluster->ConnectionString()).Create(pool, 450, std::nullopt);
  session.Open();
  EXPECT_EQ(profile.Settings().NextSeqNum, 500);
  EXPECT_EQ(PoolNext(), 500);
  EXPECT_TRUE(session.ProfileUnchanged());
  EXPECT_TRUE(session.SerializeBatch(2).Finished());
  EXPECT_EQ(IniFile(iniPath).ReadInteger(skeleton, "NextSeqNum", -1), 502);

  profile.EditableSettings().NextSeqNum = 700;
  EXPECT_TRUE(session.SerializeOne());
  EXPECT_EQ(PoolNext(), 701);
  EXPECT_EQ(profile.Settings().NextSeqNum, 701);
  PgResult rows = Rows();
  ASSERT_EQ(rows.Rows(), 3);
  EXPECT_EQ(rows.Int(0, 0), 500);
  EXPECT_EQ(rows.Int(1, 0), 501);
  EXPECT_EQ(rows.Int(2, 0), 700);
  EXPECT_FALSE(std::filesystem::exists(dir.File("board_450.hex")));
}

TEST_F(SessionPoolTest, SerializeTakesFromThePoolAndTheServerHearsEachEnd) {
  session.Open();
  EXPECT_EQ(PoolNext(), std::nullopt);  // made by the first take, at Next SN
  EXPECT_TRUE(session.SerializeBatch(2).Finished());
  EXPECT_EQ(PoolNext(), 7);
  EXPECT_EQ(profile.Settings().NextSeqNum, 7);
  EXPECT_EQ(IniFile(iniPath).ReadInteger(skeleton, "NextSeqNum", -1), 7);
  EXPECT_TRUE(std::filesystem::exists(dir.File("board_6.hex")));

  PgResult rows = Rows();
  ASSERT_EQ(rows.Rows(), 2);
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(rows.Int(row, 0), 5 + row);
    EXPECT_EQ(rows.Text(row, 1), StationName());
    EXPECT_EQ(std::filesystem::path(rows.Text(row, 2)).filename(),
              "board_" + std::to_string(5 + row) + ".hex");
    EXPECT_EQ(rows.Text(row, 3), "ok");
    EXPECT_EQ(rows.Text(row, 4), "t");
    EXPECT_EQ(rows.Text(row, 5), skeleton);
  }

  // Auto Inc. off: the window's number, and the server is not asked.
  profile.EditableSettings().AutoIncSeq = false;
  profile.EditableSettings().NextSeqNum = 3;
  EXPECT_TRUE(session.SerializeOne());
  EXPECT_EQ(PoolNext(), 7);
  EXPECT_EQ(Rows().Rows(), 2);

  // A burner that fails, and a chip prompt cancelled, end their rows too.
  profile.EditableSettings().AutoIncSeq = true;
  profile.EditableSettings().DontBurn = false;
  profile.EditableSettings().BurnerCmdLine = "/bin/false";
  EXPECT_FALSE(session.SerializeOne());
  op.SetBoxAnswer(mrCancel);
  EXPECT_FALSE(session.SerializeOne());
  rows = Rows();
  ASSERT_EQ(rows.Rows(), 4);
  EXPECT_EQ(rows.Int(2, 0), 7);
  EXPECT_EQ(rows.Text(2, 3), "burner failed");
  EXPECT_EQ(rows.Int(3, 0), 8);
  EXPECT_EQ(rows.Text(3, 3), "cancelled");
  EXPECT_EQ(rows.Text(3, 4), "t");
}

TEST_F(SessionPoolTest, RefusedNumbersAreRolledBackAndTheStepMustBeOne) {
  SerialPools(cluster->ConnectionString()).Create(pool, 65535, std::nullopt);
  session.Open();
  profile.EditableSettings().SeqNumSize = 2;
  // 65535 fits two bytes; 65536 does not, and stays in the pool.
  EXPECT_TRUE(session.SerializeOne());
  EXPECT_THROW(session.SerializeOne(), ESeqNumRefused);
  EXPECT_EQ(PoolNext(), 65536);
  EXPECT_EQ(Rows().Rows(), 1);

  IniFile(iniPath).WriteString(skeleton, "SeqNumStep", "2");
  ASSERT_TRUE(session.LoadProfile(skeleton));
  EXPECT_THROW(session.SerializeOne(), ESeqNumRefused);
  EXPECT_EQ(PoolNext(), 65536);
}

TEST_F(SessionPoolTest, UsedUpPoolTakesNothing) {
  SerialPools(cluster->ConnectionString()).Create(pool, 1999, 1999);
  session.Open();
  EXPECT_TRUE(session.SerializeOne());
  try {
    session.SerializeOne();
    ADD_FAILURE() << "a used-up pool handed out a number";
  } catch (const ESerialPoolRefused& error) {
    EXPECT_EQ(error.Message(), "The serial numbers of pool " + pool + " are used up (last 1999).");
  }
  EXPECT_EQ(Rows().Rows(), 1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("board_2000.hex")));
}

}  // namespace
}  // namespace velmorin
