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

}  // namespace
}  // namespace velmorin
