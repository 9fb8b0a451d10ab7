#include "tests/server/ServerTestFixture.h"

#include "server/SerialPools.h"

namespace velmorin {

void ServerTest::SetUp() {
  if (auto why = PgCluster::Unavailable()) GTEST_SKIP() << *why;
  FCluster.emplace();
  FCluster->Start();
  SerialPools(Connection()).InitSchema();
  FPg.emplace(Connection());
}

std::vector<std::vector<std::optional<std::string>>> ServerTest::Rows(const std::string& sql,
                                                                      const PgParams& params) {
  const PgResult r = FPg->Exec(sql, params);
  std::vector<std::vector<std::optional<std::string>>> rows(static_cast<std::size_t>(r.Rows()));
  for (int row = 0; row < r.Rows(); ++row) {
    for (int column = 0; column < r.Columns(); ++column) {
      rows[static_cast<std::size_t>(row)].push_back(
          r.IsNull(row, column) ? std::nullopt : std::optional(r.Text(row, column)));
    }
  }
  return rows;
}

std::string ServerTest::One(const std::string& sql, const PgParams& params) {
  const auto rows = Rows(sql, params);
  if (rows.size() != 1 || rows[0].size() != 1 || !rows[0][0]) {
    ADD_FAILURE() << "not one value from: " << sql;
    return "";
  }
  return *rows[0][0];
}

}  // namespace velmorin
