// Setting up the serial server and keeping its pools, for the command line's
// "server" and "pool" commands.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SerialSource.h"

namespace velmorin {

class PgConnection;

class SerialPools {
 public:
  explicit SerialPools(const std::string& connection);
  ~SerialPools();
  SerialPools(const SerialPools&) = delete;
  SerialPools& operator=(const SerialPools&) = delete;

  // Creates the two tables when they are missing; run by the schema's owner.
  // Running it again changes nothing.
  void InitSchema();

  // Every pool, by name.
  std::vector<SerialPoolState> List();
  std::optional<SerialPoolState> Find(const std::string& name);

  // Raises ESerialPoolRefused when the pool exists already, or when `last`
  // lies below `next`.
  void Create(const std::string& name, std::int64_t next, std::optional<std::int64_t> last);
  // Moves next forward and sets last. Raises ESerialPoolRefused, changing
  // nothing, when there is no such pool, when `next` is below the pool's
  // next (naming both numbers), or when last would lie below next (but for
  // a last just below a next that stays: the pool is used up, as it is once
  // it has handed out its last).
  void Set(const std::string& name, std::optional<std::int64_t> next,
           std::optional<std::int64_t> last);

 private:
  std::unique_ptr<PgConnection> FPg;
};

}  // namespace velmorin
