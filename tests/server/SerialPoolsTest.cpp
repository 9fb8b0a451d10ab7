#include <gtest/gtest.h>

#include <functional>

#include "server/SerialPools.h"
#include "server/ServerSerialSource.h"
#include "tests/server/ServerTestFixture.h"

namespace velmorin {
namespace {

using ServerPools = ServerTest;

TEST_F(ServerPools, CreateSetListAndFind) {
  SerialPools pools(Connection());
  pools.Create("board", 1000, 1999);
  pools.Create("adapter", 0, std::nullopt);
  pools.Set("board", 1500, std::nullopt);  // last stays
  pools.Set("adapter", std::nullopt, 2147483647);
  const auto all = pools.List();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].Name, "adapter");
  EXPECT_EQ(all[0].Next, 0);
  EXPECT_EQ(all[0].Last, 2147483647);
  EXPECT_EQ(all[1].Name, "board");
  EXPECT_EQ(all[1].Next, 1500);
  EXPECT_EQ(all[1].Last, 1999);
  EXPECT_FALSE(all[1].CreatedAt.empty());
  EXPECT_EQ(pools.Find("board")->Next, 1500);
  EXPECT_EQ(pools.Find("missing"), std::nullopt);
}

TEST_F(ServerPools, ARefusedChangeChangesNothing) {
  SerialPools pools(Connection());
  pools.Create("board", 1250, 1999);
  struct Case {
    std::function<void()> Change;
    std::string Message;
  };
  const Case cases[] = {
      {[&] { pools.Create("board", 5000, std::nullopt); }, "Pool board exists already."},
      {[&] { pools.Create("new", 20, 10); },
       "Last 10 is below next 20; pool new would have no number."},
      {[&] { pools.Create("new", -1, std::nullopt); },
       "Next -1 is out of range: serial numbers run from 0 to 2147483647."},
      {[&] { pools.Create("new", 0, 2147483648); },
       "Last 2147483648 is out of range: serial numbers run from 0 to 2147483647."},
      {[&] { pools.Set("board", 1000, std::nullopt); },
       "Next 1000 is below the next serial number 1250 of pool board; a pool only moves forward."},
      {[&] { pools.Set("board", 1300, 1299); },
       "Last 1299 is below next 1300; pool board would have no number."},
      {[&] { pools.Set("board", 2500, std::nullopt); },
       "Last 1999 is below next 2500; pool board would have no number."},
      {[&] { pools.Set("board", 2147483648, std::nullopt); },
       "Next 2147483648 is out of range: serial numbers run from 0 to 2147483647."},
      {[&] { pools.Set("missing", 1, std::nullopt); }, "There is no pool missing."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Message);
    EXPECT_EQ(MessageOf<ESerialPoolRefused>(c.Change), c.Message);
    const auto all = pools.List();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].Next, 1250);
    EXPECT_EQ(all[0].Last, 1999);
  }
}

TEST_F(ServerPools, ANameLikeSqlIsStoredLiterallyAndSchemaInitIsIdempotent) {
  const std::string name = "board'; DROP TABLE velmorin_pool; --";
  SerialPools pools(Connection());
  pools.Create(name, 7, std::nullopt);
  ServerSerialSource source(Connection());
  EXPECT_EQ(source.Take({name, "st", "sk", 0}, [](std::int32_t) {}), 7);
  source.KeepPoolAt(name, 9);
  pools.InitSchema();  // again, on tables with rows
  EXPECT_EQ(One("SELECT name FROM velmorin_pool WHERE next_serial = 9"), name);
  EXPECT_EQ(One("SELECT pool FROM velmorin_serial WHERE serial = 7"), name);
  EXPECT_EQ(pools.Find(name)->Next, 9);
}

// The schema an earlier version made (no range checks, no trigger), with
// rows: init brings both in and keeps the rows; a second run changes nothing.
TEST_F(ServerPools, InitBringsTheRulesIntoAnEarlierSchema) {
  FPg->Exec("DROP TABLE velmorin_serial, velmorin_pool");
  FPg->Exec(
      "CREATE TABLE velmorin_pool (name text PRIMARY KEY, next_serial bigint NOT NULL,"
      " last_serial bigint, created_at timestamptz DEFAULT now())");
  FPg->Exec(
      "CREATE TABLE velmorin_serial (pool text REFERENCES velmorin_pool, serial bigint,"
      " station text, skeleton text, output_file text, result text, exit_code bigint,"
      " message text, taken_at timestamptz, finished_at timestamptz, PRIMARY KEY (pool, serial))");
  FPg->Exec("INSERT INTO velmorin_pool (name, next_serial) VALUES ('board', 1250)");
  FPg->Exec("INSERT INTO velmorin_serial (pool, serial) VALUES ('board', 1249)");
  SerialPools pools(Connection());
  for (int run = 0; run < 2; ++run) pools.InitSchema();
  EXPECT_EQ(One("SELECT count(*) FROM pg_constraint WHERE conname LIKE 'velmorin_%_range'"), "3");
  EXPECT_EQ(One("SELECT count(*) FROM pg_trigger WHERE tgname = 'velmorin_pool_forward_only'"),
            "1");
  EXPECT_EQ(pools.Find("board")->Next, 1250);
  const std::string back = MessageOf<ESerialServerError>(
      [&] { FPg->Exec("UPDATE velmorin_pool SET next_serial = 1000"); });
  EXPECT_NE(back.find("may not go back from 1250 to 1000"), std::string::npos) << back;
}

// The station role of "server init --grant-station": it takes, finishes,
// makes and moves pools forward, and can change nothing of what is recorded.
TEST_F(ServerPools, TheStationRoleCanRecordButNotRewrite) {
  FPg->Exec("CREATE ROLE station LOGIN");
  // What the earlier README granted, and more: all of it goes.
  FPg->Exec("GRANT ALL ON velmorin_pool, velmorin_serial TO station");
  SerialPools owner(Connection());
  owner.Create("board", 1000, 1999);
  owner.GrantStation("station");
  owner.GrantStation("station");  // again: the same rights

  const std::string asStation = Connection() + " user=station";
  ServerSerialSource source(asStation);
  EXPECT_EQ(source.Take({"board", "st", "sk", 0}, [](std::int32_t) {}), 1000);
  source.Finish("board", 1000, {"/out/board_1000.hex", "ok", 0u, ""});
  source.KeepPoolAt("board", 1100);
  source.KeepPoolAt("new", 7);
  SerialPools pools(asStation);
  pools.Create("other", 1, std::nullopt);
  pools.Set("board", 1200, std::nullopt);
  EXPECT_EQ(pools.List().size(), 3u);
  EXPECT_EQ(MessageOf<ESerialPoolRefused>([&] { pools.Set("board", std::nullopt, 2999); }),
            "This role may not change the last number of pool board; the owner of the serial "
            "server's tables sets it.");

  PgConnection station(asStation);
  const char* const refused[] = {
      "UPDATE velmorin_serial SET serial = 5",
      "UPDATE velmorin_serial SET station = 'elsewhere'",
      "UPDATE velmorin_serial SET skeleton = 'other.hex'",
      "UPDATE velmorin_serial SET taken_at = now() - interval '1 day'",
      "UPDATE velmorin_pool SET last_serial = 5000",
      "UPDATE velmorin_pool SET next_serial = 1000",
      "DELETE FROM velmorin_serial",
      "TRUNCATE velmorin_serial",
      "DROP TRIGGER velmorin_pool_forward_only ON velmorin_pool",
  };
  for (const char* statement : refused) {
    const std::string message = MessageOf<ESerialServerError>([&] { station.Exec(statement); });
    EXPECT_TRUE(message.find("permission denied") != std::string::npos ||
                message.find("must be owner") != std::string::npos ||
                message.find("may not go back") != std::string::npos)
        << statement << ": " << message;
  }
  EXPECT_EQ(One("SELECT serial || station || skeleton FROM velmorin_serial"), "1000stsk");
  EXPECT_EQ(One("SELECT next_serial || '/' || last_serial FROM velmorin_pool WHERE name = 'board'"),
            "1200/1999");

  EXPECT_EQ(MessageOf<ESerialPoolRefused>([&] { owner.GrantStation("nobody-here"); }),
            "There is no role nobody-here on the serial server; make it first (CREATE ROLE "
            "nobody-here LOGIN).");
  EXPECT_NE(MessageOf<ESerialPoolRefused>([&] {
              owner.GrantStation("velmorin");
            }).find("has the rights of the tables' owner velmorin"),
            std::string::npos);
}

}  // namespace
}  // namespace velmorin
