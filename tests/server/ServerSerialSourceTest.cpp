#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>
#include <stdexcept>
#include <thread>

#include "server/SerialPools.h"
#include "server/ServerSerialSource.h"
#include "tests/server/ServerTestFixture.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

const std::string kUnreachable = "Unable to reach the serial server: ";

SerialTake Board(std::int32_t start = 1000) {
  return {"board", "station-7", "/fw/board.hex", start};
}

const auto kAccept = [](std::int32_t) {};

using ServerTake = ServerTest;

TEST_F(ServerTake, GivesConsecutiveNumbersAndRecordsWhoTookThem) {
  ServerSerialSource source(Connection());
  EXPECT_EQ(source.PoolNext("board"), std::nullopt);
  std::vector<std::int32_t> seen;
  const auto check = [&](std::int32_t n) { seen.push_back(n); };
  EXPECT_EQ(source.Take(Board(), check), 1000);
  EXPECT_EQ(source.Take(Board(), check), 1001);
  EXPECT_EQ(source.Take(Board(5), check), 1002);  // the start counts only for a new pool
  EXPECT_EQ(seen, (std::vector<std::int32_t>{1000, 1001, 1002}));
  EXPECT_EQ(source.PoolNext("board"), 1003);
  const auto rows = Rows(
      "SELECT serial, station, skeleton, taken_at IS NOT NULL, result, finished_at"
      " FROM velmorin_serial WHERE pool = 'board' ORDER BY serial");
  ASSERT_EQ(rows.size(), 3u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][0], std::to_string(1000 + i));
    EXPECT_EQ(rows[i][1], "station-7");
    EXPECT_EQ(rows[i][2], "/fw/board.hex");
    EXPECT_EQ(rows[i][3], "t");
    EXPECT_EQ(rows[i][4], std::nullopt);  // under way until finished
    EXPECT_EQ(rows[i][5], std::nullopt);
  }
}

TEST_F(ServerTake, FinishFillsTheProductionRecordsColumns) {
  ServerSerialSource source(Connection());
  const std::int32_t burnt = source.Take(Board(), kAccept);
  const std::int32_t kept = source.Take(Board(), kAccept);
  source.Finish("board", burnt, {"/out/board_1000.hex", "burner failed", 3u, "exit code 3"});
  source.Finish("board", kept, {"", "ok", std::nullopt, ""});
  const auto rows = Rows(
      "SELECT output_file, result, exit_code, message, finished_at IS NOT NULL"
      " FROM velmorin_serial ORDER BY serial");
  using Row = std::vector<std::optional<std::string>>;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (Row{"/out/board_1000.hex", "burner failed", "3", "exit code 3", "t"}));
  EXPECT_EQ(rows[1], (Row{std::nullopt, "ok", std::nullopt, std::nullopt, "t"}));
}

TEST_F(ServerTake, ARefusingCheckTakesNothing) {
  ServerSerialSource source(Connection());
  source.Take(Board(), kAccept);
  const std::string message = MessageOf<std::invalid_argument>([&] {
    source.Take(Board(), [](std::int32_t n) {
      throw std::invalid_argument("refused " + std::to_string(n));
    });
  });
  EXPECT_EQ(message, "refused 1001");
  EXPECT_EQ(source.PoolNext("board"), 1001);
  EXPECT_EQ(One("SELECT count(*) FROM velmorin_serial"), "1");
  EXPECT_EQ(source.Take(Board(), kAccept), 1001);  // the refused number was never taken
}

TEST_F(ServerTake, AUsedUpPoolRefusesAndTakesNothing) {
  struct Case {
    std::optional<std::int64_t> Last;
    std::int64_t Next;
    std::string Message;
  };
  const Case cases[] = {
      {1999, 1999, "The serial numbers of pool board are used up (last 1999)."},
      {std::nullopt, 2147483647, "The serial numbers of pool board are used up (last 2147483647)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Message);
    FPg->Exec("TRUNCATE velmorin_pool, velmorin_serial");
    FPg->Exec(
        "INSERT INTO velmorin_pool (name, next_serial, last_serial) VALUES ('board', $1, $2)",
        {std::to_string(c.Next), c.Last ? std::optional(std::to_string(*c.Last)) : std::nullopt});
    ServerSerialSource source(Connection());
    EXPECT_EQ(source.Take(Board(), kAccept), c.Next);  // the last number is given once
    for (int again = 0; again < 2; ++again)
      EXPECT_EQ(MessageOf<ESerialPoolRefused>([&] { source.Take(Board(), kAccept); }), c.Message);
    EXPECT_EQ(source.PoolNext("board"), c.Next + 1);
    EXPECT_EQ(One("SELECT count(*) FROM velmorin_serial"), "1");
  }
}

// Numbers recorded by hand ahead of the pool's counter (or a counter set
// back) are skipped one run at a time; numbers further on stay usable until
// the counter gets there.
TEST_F(ServerTake, ANumberRecordedAlreadyIsNeverGivenAgain) {
  struct Case {
    std::int64_t PoolNext;
    std::vector<std::int64_t> Recorded;
    std::int64_t Given;
  };
  const Case cases[] = {
      {1001, {1000, 1001, 1002, 1003, 1004}, 1005},
      {16, {16, 17, 1000000}, 18},
      {16, {2147483647}, 16},
      {2147483645, {2147483645, 2147483646}, 2147483647},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Given);
    FPg->Exec("TRUNCATE velmorin_pool, velmorin_serial");
    FPg->Exec("INSERT INTO velmorin_pool (name, next_serial) VALUES ('board', $1)",
              {std::to_string(c.PoolNext)});
    for (const std::int64_t n : c.Recorded)
      FPg->Exec("INSERT INTO velmorin_serial (pool, serial) VALUES ('board', $1)",
                {std::to_string(n)});
    ServerSerialSource source(Connection());
    EXPECT_EQ(source.Take(Board(0), kAccept), c.Given);
    EXPECT_EQ(source.PoolNext("board"), c.Given + 1);
    EXPECT_EQ(One("SELECT count(DISTINCT serial) FROM velmorin_serial"),
              std::to_string(c.Recorded.size() + 1));
  }
}

// A station's own Next SN above the pool moves the pool up before the take:
// the numbers it counted out by itself are never handed out again.
TEST_F(ServerTake, AStationsOwnNextSnAboveThePoolMovesItUp) {
  struct Case {
    std::optional<std::int64_t> PoolNext, PoolLast;  // empty PoolNext: no pool yet
    std::int32_t StationNext;
    std::int64_t Given;  // -1: refused
    std::int64_t After;
  };
  const Case cases[] = {
      {450, std::nullopt, 500, 500, 501},
      {450, std::nullopt, 400, 450, 451},
      {std::nullopt, std::nullopt, 500, 500, 501},
      {450, 499, 500, -1, 450},        // beyond the last: used up, the pool stays
      {-5, std::nullopt, -5, -1, -5},  // a pool below 0 (an earlier schema) gives nothing
      {-5, std::nullopt, 3, 3, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.StationNext) + " over " + std::to_string(c.PoolNext.value_or(0)));
    FPg->Exec("TRUNCATE velmorin_pool, velmorin_serial");
    // The range check of today's schema refuses -5 itself; an earlier
    // version's schema had none.
    FPg->Exec(
        "ALTER TABLE velmorin_pool DROP CONSTRAINT IF EXISTS velmorin_pool_next_serial_range");
    if (c.PoolNext)
      FPg->Exec(
          "INSERT INTO velmorin_pool (name, next_serial, last_serial) VALUES ('board', $1, $2)",
          {std::to_string(*c.PoolNext),
           c.PoolLast ? std::optional(std::to_string(*c.PoolLast)) : std::nullopt});
    ServerSerialSource source(Connection());
    if (c.Given >= 0) {
      EXPECT_EQ(source.Take(Board(c.StationNext), kAccept), c.Given);
    } else {
      const std::string refused =
          MessageOf<ESerialPoolRefused>([&] { source.Take(Board(c.StationNext), kAccept); });
      EXPECT_TRUE(refused.find("used up (last 499)") != std::string::npos ||
                  refused ==
                      "Pool board stands at -5, below 0: serial numbers run from 0 to "
                      "2147483647.")
          << refused;
      EXPECT_EQ(One("SELECT count(*) FROM velmorin_serial"), "0");
    }
    EXPECT_EQ(source.PoolNext("board"), c.After);
  }
  SerialPools(Connection()).InitSchema();  // the range check back, on a valid table
  const std::string below = MessageOf<ESerialServerError>(
      [&] { FPg->Exec("INSERT INTO velmorin_pool (name, next_serial) VALUES ('negative', -5)"); });
  EXPECT_NE(below.find("velmorin_pool_next_serial_range"), std::string::npos) << below;
}

TEST_F(ServerTake, StationsTakingAtOnceGetDistinctNumbersWithNoGap) {
  // The pool is made by whichever station comes first.
  constexpr int kStations = 4, kEach = 50;
  std::vector<std::vector<std::int32_t>> taken(kStations);
  std::vector<std::thread> stations;
  for (int s = 0; s < kStations; ++s) {
    stations.emplace_back([&, s] {
      ServerSerialSource source(Connection());
      try {
        for (int i = 0; i < kEach; ++i)
          taken[static_cast<std::size_t>(s)].push_back(source.Take(Board(), kAccept));
      } catch (const std::exception& e) {
        ADD_FAILURE() << "station " << s << ": " << e.what();
      }
    });
  }
  for (auto& t : stations) t.join();
  std::set<std::int32_t> all;
  for (const auto& numbers : taken) all.insert(numbers.begin(), numbers.end());
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kStations * kEach));
  EXPECT_EQ(*all.begin(), 1000);
  EXPECT_EQ(*all.rbegin(), 1000 + kStations * kEach - 1);
  EXPECT_EQ(One("SELECT count(*) FROM velmorin_serial"), std::to_string(kStations * kEach));
}

using ServerKeep = ServerTest;

TEST_F(ServerKeep, APoolOnlyMovesForward) {
  struct Case {
    std::optional<std::int64_t> PoolNext;  // empty: no pool yet
    std::int32_t NextSN;
    std::int64_t After;
    std::string Refusal;
  };
  const Case cases[] = {
      {std::nullopt, 500, 500, ""},  // made at Next SN
      {1250, 1250, 1250, ""},
      {1250, 1300, 1300, ""},
      {1250, 1000, 1250,
       "Next SN 1000 is below the next serial number 1250 of pool board; a pool only moves "
       "forward."},
      {2147483648, 2147483647, 2147483648, ""},  // every number given
      {std::nullopt, -1, -1,
       "Next SN -1 can't start pool board: serial numbers run from 0 to 2147483647."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.NextSN);
    FPg->Exec("TRUNCATE velmorin_pool, velmorin_serial");
    if (c.PoolNext)
      FPg->Exec("INSERT INTO velmorin_pool (name, next_serial) VALUES ('board', $1)",
                {std::to_string(*c.PoolNext)});
    ServerSerialSource source(Connection());
    if (c.Refusal.empty())
      source.KeepPoolAt("board", c.NextSN);
    else
      EXPECT_EQ(MessageOf<ESerialPoolRefused>([&] { source.KeepPoolAt("board", c.NextSN); }),
                c.Refusal);
    EXPECT_EQ(source.PoolNext("board").value_or(-1), c.After);
  }
}

// A station stopped in the middle of its take holds the pool's row. The
// others wait two seconds a try, and say so after a few tries; the server
// ends the stopped station's transaction itself within seconds.
TEST_F(ServerTake, AStationHoldingThePoolMakesOthersWaitBriefly) {
  ServerSerialSource source(Connection());
  EXPECT_EQ(source.Take(Board(), kAccept), 1000);
  struct Case {
    bool HolderStaysIdle;  // off: the server's idle time-out ends its hold
    std::optional<std::int32_t> Given;
  };
  for (const Case c : {Case{false, std::nullopt}, Case{true, 1001}}) {
    SCOPED_TRACE(c.HolderStaysIdle);
    PgConnection holder(Connection());
    holder.Begin();
    if (!c.HolderStaysIdle) holder.Exec("SET LOCAL idle_in_transaction_session_timeout = 0");
    holder.Exec("SELECT * FROM velmorin_pool WHERE name = 'board' FOR UPDATE");
    const auto started = std::chrono::steady_clock::now();
    if (c.Given) {
      EXPECT_EQ(source.Take(Board(), kAccept), *c.Given);
    } else {
      EXPECT_EQ(MessageOf<ESerialPoolBusy>([&] { source.Take(Board(), kAccept); }),
                "Another station holds pool board; try again.");
      EXPECT_EQ(One("SELECT count(*) FROM velmorin_serial"), "1");
      holder.Rollback();
    }
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::seconds(c.Given ? 4 : 6));
    EXPECT_LT(waited, std::chrono::seconds(9));
  }
}

// Names that are not UTF-8 go to the server in an escaped form of their
// own: takes work, and two names never meet as one.
TEST_F(ServerTake, NamesThatAreNotUtf8AreStoredEscapedAndKeptApart) {
  const std::string raw = "b\xFFoard";         // the byte FF
  const std::string lookalike = "b\\xFFoard";  // a backslash, "xFF"
  ServerSerialSource source(Connection());
  EXPECT_EQ(source.Take({raw, "st\xE9", "/fw/" + raw + ".hex", 5}, kAccept), 5);
  source.Finish(raw, 5, {"/out/" + raw + "_5.hex", "error", std::nullopt, "can't write \xFF"});
  EXPECT_EQ(source.Take({lookalike, "st", "/fw/board.hex", 9}, kAccept), 9);
  EXPECT_EQ(source.PoolNext(raw), 6);
  EXPECT_EQ(SerialPools(Connection()).Find(lookalike)->Next, 10);
  using Row = std::vector<std::optional<std::string>>;
  EXPECT_EQ(
      Rows("SELECT pool, station, skeleton, output_file, message FROM velmorin_serial"
           " ORDER BY serial"),
      (std::vector<Row>{{"b\\xFFoard", "st\\xE9", "/fw/b\\xFFoard.hex", "/out/b\\xFFoard_5.hex",
                         "can't write \\xFF"},
                        {"b\\\\xFFoard", "st", "/fw/board.hex", std::nullopt, std::nullopt}}));
}

using ServerFaults = ServerTest;

TEST_F(ServerFaults, AServerCrashStopsTheTakeAndTheSourceGoesOnAfterARestart) {
  ServerSerialSource source(Connection());
  std::set<std::int32_t> given;
  for (int i = 0; i < 3; ++i) given.insert(source.Take(Board(), kAccept));
  // The server dies between the take and its commit, and stays down.
  const std::string crash = MessageOf<ESerialServerError>(
      [&] { source.Take(Board(), [&](std::int32_t) { FCluster->StopImmediately(); }); });
  EXPECT_EQ(crash.rfind(kUnreachable, 0), 0u) << crash;
  const std::string down = MessageOf<ESerialServerError>([&] { source.Take(Board(), kAccept); });
  EXPECT_EQ(down.rfind(kUnreachable, 0), 0u) << down;

  FCluster->Restart();
  FPg.emplace(Connection());
  for (int i = 0; i < 3; ++i) {
    const std::int32_t n = source.Take(Board(), kAccept);
    EXPECT_TRUE(given.insert(n).second) << n << " given twice";
  }
  EXPECT_EQ(One("SELECT count(DISTINCT serial) FROM velmorin_serial"), "6");
  EXPECT_EQ(std::stoll(One("SELECT next_serial FROM velmorin_pool")), *given.rbegin() + 1);
}

TEST_F(ServerFaults, AServerRestartedWhileIdleIsReconnectedToAtOnce) {
  ServerSerialSource source(Connection());
  EXPECT_EQ(source.Take(Board(), kAccept), 1000);
  FCluster->StopImmediately();
  FCluster->Restart();
  EXPECT_EQ(source.Take(Board(), kAccept), 1001);
}

// A server tuned not to wait for the disk at commit loses, at a crash, what
// was committed just before; a take and a pool moved forward must survive.
TEST(ServerDurability, ATakeSurvivesACrashOfAServerThatDoesNotWaitForTheDisk) {
  if (auto why = PgCluster::Unavailable()) GTEST_SKIP() << *why;
  // The WAL writer sleeps long, so that only a commit that waits writes out.
  PgCluster cluster(PgClusterOptions{
      false, false, false, {"synchronous_commit = off", "wal_writer_delay = 10s"}});
  cluster.Start();
  SerialPools pools(cluster.ConnectionString());
  pools.InitSchema();
  pools.Create("board", 1804, std::nullopt);
  PgConnection(cluster.ConnectionString()).Exec("CHECKPOINT");  // the pool is on disk
  const auto afterACrash = [&](const std::function<void(ServerSerialSource&)>& change) {
    ServerSerialSource source(cluster.ConnectionString());
    change(source);
    cluster.StopImmediately();
    cluster.Restart();
    return ServerSerialSource(cluster.ConnectionString()).PoolNext("board");
  };
  EXPECT_EQ(
      afterACrash([](ServerSerialSource& s) { EXPECT_EQ(s.Take(Board(1804), kAccept), 1804); }),
      1805);
  EXPECT_EQ(afterACrash([](ServerSerialSource& s) { s.KeepPoolAt("board", 2000); }), 2000);
  PgConnection pg(cluster.ConnectionString());
  EXPECT_EQ(pg.Exec("SELECT count(*) FROM velmorin_serial WHERE serial = 1804").Int(0, 0), 1);
}

// The line's setting: TLS, with the server's certificate checked against
// the line's own authority. A wrong authority is refused and takes nothing.
TEST(ServerTls, VerifyFullConnectsWithTheRightRootOnly) {
  if (auto why = PgCluster::Unavailable()) GTEST_SKIP() << *why;
  PgCluster cluster(PgClusterOptions{false, false, true, {}});
  cluster.Start();
  SerialPools(cluster.ConnectionString()).InitSchema();
  test::TempDir other;
  const auto wrongRoot = PgCluster::MakeCertificateAuthority(other.Path());
  const std::string tcp = cluster.TcpConnectionString();
  const std::string described =
      "host 127.0.0.1, port " + std::to_string(cluster.Port()) + ", database velmorin";
  struct Case {
    std::string Options;
    std::string Refusal;  // empty: connects, with this About text
    std::string About;
  };
  const Case cases[] = {
      {" sslmode=verify-full sslrootcert=" + cluster.RootCertificate().string(), "",
       ", encrypted (TLS)"},
      {" sslmode=disable", "", ", not encrypted"},
      {" sslmode=verify-full sslrootcert=" + wrongRoot.string(), "certificate verify failed",
       ", not connected"},
  };
  std::int32_t expected = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Options);
    ServerSerialSource source(tcp + c.Options);
    if (c.Refusal.empty()) {
      EXPECT_EQ(source.Take(Board(100), kAccept), expected++);
    } else {
      const std::string message =
          MessageOf<ESerialServerError>([&] { source.Take(Board(100), kAccept); });
      EXPECT_EQ(message.rfind(kUnreachable, 0), 0u) << message;
      EXPECT_NE(message.find(c.Refusal), std::string::npos) << message;
    }
    EXPECT_EQ(source.Description(), described + c.About);
  }
  PgConnection pg(cluster.ConnectionString());
  EXPECT_EQ(pg.Exec("SELECT count(*) FROM velmorin_serial").Int(0, 0), 2);
}

TEST(ServerUnreachable, NothingListeningGivesTheErrorAtOnce) {
  test::TempDir empty;
  // A connection string takes "\" as an escape: Windows' folder with "/".
  ServerSerialSource source("host=" + empty.Path().generic_string() + " port=5 dbname=x");
  for (int i = 0; i < 2; ++i) {  // and again: the source tries anew each time
    const std::string message =
        MessageOf<ESerialServerError>([&] { source.Take(Board(), kAccept); });
    EXPECT_EQ(message.rfind(kUnreachable + "connection to server on socket", 0), 0u) << message;
  }
  EXPECT_EQ(MessageOf<ESerialServerError>([&] { source.PoolNext("board"); }).rfind(kUnreachable, 0),
            0u);
}

// What the About box names; the strings a station refuses, and the
// passwords in them, are the command line's test (CliServerTest).
TEST(ServerDescribe, NamesHostPortAndDatabase) {
  struct Case {
    std::string Connection;
    std::string Description;
  };
  const Case cases[] = {
      {"host=db1,db2 dbname=production user=station target_session_attrs=read-write",
       "host db1,db2, database production"},
      {"hostaddr=10.0.0.5 port=5433 dbname=production",
       "host 10.0.0.5, port 5433, database production"},
      {"host=db1 hostaddr=10.0.0.5", "host db1"},
      {"postgresql://station@db1:5433/production", "host db1, port 5433, database production"},
      {"postgres://[::1]/production", "host ::1, database production"},
      {"user=station", "the default server"},
      {"", "the default server"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Connection);
    EXPECT_EQ(DescribeSerialServer(c.Connection), c.Description);
    EXPECT_EQ(ServerSerialSource(c.Connection).Description(), c.Description + ", not connected");
  }
}

}  // namespace
}  // namespace velmorin
