// Serial numbers from a PostgreSQL server, shared by every station that names
// the same server: the engine's committed rows and primary key are what make
// a number go to one chip only. The schema is a documented interface that a
// quality system may query:
//   velmorin_pool(name text primary key, next_serial bigint not null,
//                 last_serial bigint, created_at timestamptz)
//   velmorin_serial(pool text references velmorin_pool, serial bigint,
//                   station text, skeleton text, output_file text,
//                   result text, exit_code bigint, message text,
//                   taken_at timestamptz, finished_at timestamptz,
//                   primary key (pool, serial))
// Names (pool, station, skeleton, output file) and messages are stored as
// ServerText makes them. The program needs SELECT and INSERT on both tables,
// UPDATE of next_serial in velmorin_pool and of the result's columns in
// velmorin_serial (what "server init --grant-station" grants).
#pragma once

#include <memory>
#include <string>

#include "profiles/SerialSource.h"

namespace velmorin {

class PgConnection;

class ServerSerialSource : public SerialSource {
 public:
  // `connection` is a libpq connection string. Nothing is connected until
  // first use; a lost connection is made anew at the next use.
  explicit ServerSerialSource(std::string connection);
  ~ServerSerialSource() override;

  std::string Description() const override;
  std::optional<std::int64_t> PoolNext(const std::string& pool) override;
  void KeepPoolAt(const std::string& pool, std::int32_t next) override;
  std::int32_t Take(const SerialTake& take,
                    const std::function<void(std::int32_t)>& check) override;
  void Finish(const std::string& pool, std::int32_t serial, const SerialEnd& end) override;

 private:
  PgConnection& Connection();
  // One try of KeepPoolAt and Take, each one transaction.
  void KeepPoolAtOnce(const std::string& pool, std::int32_t next);
  std::int32_t TakeOnce(const SerialTake& take, const std::function<void(std::int32_t)>& check);

  std::string FConnection;
  std::unique_ptr<PgConnection> FPg;
};

// The connector the front ends hand to their session.
std::unique_ptr<SerialSource> ConnectSerialServer(const std::string& connection);

// "host db1,db2, port 5433, database production": what a connection string
// names, for people to read; never its password. Raises ESerialServerError
// for a connection string PgConnectionString refuses. The source's own
// Description adds whether its connection is encrypted.
std::string DescribeSerialServer(const std::string& connection);

}  // namespace velmorin
