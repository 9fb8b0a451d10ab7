// Setting up the serial server and keeping its pools, for the command line's
// "server" and "pool" commands.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "profiles/SerialSource.h"

namespace velmorin {

class PgConnection;

class SerialPools {
 public:
  explicit SerialPools(const std::string& connection);
  ~SerialPools();
  SerialPools(const SerialPools&) = delete;
  SerialPools& operator=(const SerialPools&) = delete;

  // Creates the two tables, their range checks and the trigger that keeps
  // pools moving forward, each when missing; run by the schema's owner.
  // Running it again changes nothing, but brings in what an earlier version
  // did not make.
  void InitSchema();
  // Gives the stations' `role` exactly the rights a station needs on the
  // two tables, and takes every other right on them away: SELECT and
  // INSERT, UPDATE of velmorin_pool's next_serial and of velmorin_serial's
  // output_file, result, exit_code, message and finished_at. Raises
  // ESerialPoolRefused when there is no such role, or when it has the
  // owner's rights anyway (it is the owner, a member of it, or a superuser).
  void GrantStation(const std::string& role);

  // Every pool, by name.
  std::vector<SerialPoolState> List();
  std::optional<SerialPoolState> Find(const std::string& name);

  // Raises ESerialPoolRefused when the pool exists already, or when `last`
  // lies below `next`.
  void Create(const std::string& name, std::int64_t next, std::optional<std::int64_t> last);
  // Moves next forward and sets last. Raises ESerialPoolRefused, changing
  // nothing, when there is no such pool, when `next` is below the pool's
  // next (naming both numbers), when last would lie below next (but for a
  // last just below a next that stays: the pool is used up, as it is once
  // it has handed out its last), or when this role may not change last (a
  // station's role). ESerialPoolBusy while a station holds the pool.
  void Set(const std::string& name, std::optional<std::int64_t> next,
           std::optional<std::int64_t> last);

 private:
  void SetOnce(const std::string& name, std::optional<std::int64_t> next,
               std::optional<std::int64_t> last);

  std::unique_ptr<PgConnection> FPg;
};

}  // namespace velmorin
