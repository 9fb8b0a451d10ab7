// A fresh cluster with the schema made, for each case of the serial server.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "pgcluster/PgCluster.h"
#include "server/PgConnection.h"

namespace velmorin {

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override;

  std::string Connection() const { return FCluster->ConnectionString(); }
  // The rows of a query, each column as text (empty optional for NULL).
  std::vector<std::vector<std::optional<std::string>>> Rows(const std::string& sql,
                                                            const PgParams& params = {});
  std::string One(const std::string& sql, const PgParams& params = {});

  std::optional<PgCluster> FCluster;
  std::optional<PgConnection> FPg;
};

// Runs `action` and returns the message of the exception of type E it raises;
// fails the test when it raises none.
template <typename E, typename F>
std::string MessageOf(F&& action) {
  try {
    action();
  } catch (const E& e) {
    return e.what();
  }
  ADD_FAILURE() << "no exception raised";
  return "";
}

}  // namespace velmorin
