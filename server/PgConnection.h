// A small owner of one libpq connection, for the serial server. It keeps the
// rules the stations rely on in one place:
//  - every value goes to the server as a parameter, never inside the SQL;
//  - connecting and every statement end within about ten seconds, so a dead
//    network or a stuck server never hangs the window;
//  - every failure is an ESerialServerError "Unable to reach the serial
//    server: <reason>" and drops the connection, so that the next use starts
//    on a fresh one (a transaction left open is then rolled back by the
//    server);
//  - every transaction's commit waits for the disk (and for synchronous
//    standbys) whatever the server's default, unless it asks not to;
//  - a row lock is waited for about two seconds at most (EPgLockTimeout);
//  - no message ever holds the connection string, and no password reaches
//    a message (PgConnectionString).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "profiles/SerialSource.h"
#include "server/PgConnectionString.h"

struct pg_conn;
struct pg_result;

namespace velmorin {

// One statement's answer.
class PgResult {
 public:
  explicit PgResult(pg_result* result);

  int Rows() const;
  int Columns() const;
  bool IsNull(int row, int column) const;
  std::string Text(int row, int column) const;
  // A bigint column; raises ESerialServerError when the server sent something else.
  std::int64_t Int(int row, int column) const;
  std::optional<std::int64_t> OptionalInt(int row, int column) const;
  // The command tag, such as "COMMIT" or "ROLLBACK".
  std::string CommandStatus() const;

 private:
  struct Clear {
    void operator()(pg_result* result) const;
  };
  std::unique_ptr<pg_result, Clear> FResult;
};

// A statement waited longer than the lock time-out for a row another
// connection holds; the transaction is rolled back.
class EPgLockTimeout : public ESerialServerError {
 public:
  using ESerialServerError::ESerialServerError;
};

// How a transaction's commit reaches the disk.
enum class PgCommit {
  // COMMIT returns once the commit is on disk, and on the synchronous
  // standbys the server names: what a station has seen committed survives a
  // crash or a failover.
  Durable,
  // COMMIT returns at once; the server writes it out within a fraction of a
  // second, and the next durable commit writes it out with its own.
  Unflushed,
};

// The values of $1, $2, ...; an empty optional is SQL NULL.
using PgParams = std::vector<std::optional<std::string>>;

class PgConnection {
 public:
  // How long connecting (per host) and each statement may take.
  static constexpr std::chrono::seconds kTimeLimit{10};
  // How long a statement waits for a row lock: a take holds its pool's row
  // for milliseconds, so a longer wait means a station stopped in the
  // middle of its take.
  static constexpr std::chrono::seconds kLockWait{2};
  // How long the server lets a transaction sit idle before it ends its
  // session: that stopped station's lock goes after this.
  static constexpr std::chrono::seconds kIdleInTransaction{5};

  // `connection` is a libpq connection string, read by PgConnectionString
  // and used with a few defaults it may override (the connect timeout, TCP
  // keepalives); the client encoding is always UTF-8. Nothing is read or
  // connected until the first statement.
  explicit PgConnection(std::string connection);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Runs one statement (or, without values, several: the simple protocol).
  // A failed statement, a lost connection or no answer within the time
  // limit raises ESerialServerError and drops the connection.
  PgResult Exec(const std::string& sql, const PgParams& params = {});

  // BEGIN, with the transaction's settings: how its commit reaches the
  // disk, and the lock wait. On a connection that has been idle since its last use, a failure
  // here is most often a server that restarted or failed over meanwhile:
  // nothing has been done yet, so it connects anew and tries once more
  // (unless the failure was a time limit, which used up the wait already).
  void Begin(PgCommit commit = PgCommit::Durable);
  // COMMIT; raises ESerialServerError unless the server says it committed.
  // When the connection is lost during COMMIT, the outcome is unknown: the
  // caller treats what it took as possibly taken (skipped, never reused).
  void Commit();
  // ROLLBACK, without raising: when it fails the connection is dropped, and
  // the server rolls the transaction back itself.
  void Rollback() noexcept;

  // Closes the connection; the next statement connects anew.
  void Drop() noexcept;
  bool Connected() const { return FConn != nullptr; }
  // Whether the connection is encrypted (TLS); false while not connected.
  bool Encrypted() const;

 private:
  void Connect();
  // Raises ESerialServerError with `reason`, its passwords removed (or
  // EPgLockTimeout for SQLSTATE 55P03), and drops the connection.
  [[noreturn]] void Fail(const std::string& reason, const std::string& sqlState = {});

  std::string FConnection;
  std::optional<PgConnectionString> FParsed;
  pg_conn* FConn = nullptr;
};

// One transaction: BEGIN when made, ROLLBACK when left without Commit().
class PgTransaction {
 public:
  explicit PgTransaction(PgConnection& pg, PgCommit commit = PgCommit::Durable) : FPg(pg) {
    FPg.Begin(commit);
  }
  ~PgTransaction() {
    if (!FDone) FPg.Rollback();
  }
  PgTransaction(const PgTransaction&) = delete;
  PgTransaction& operator=(const PgTransaction&) = delete;

  void Commit() {
    FDone = true;
    FPg.Commit();
  }

 private:
  PgConnection& FPg;
  bool FDone = false;
};

// The text of an error that names the serial server: "Unable to reach the
// serial server: <reason>", the reason trimmed of trailing line ends.
std::string SerialServerMessage(const std::string& reason);

// Runs `attempt` (one whole transaction) again while it finds `pool`'s row
// held by another connection, a few times; then raises ESerialPoolBusy
// "Another station holds pool <name>; try again.".
template <typename F>
auto RetryWhilePoolHeld(const std::string& pool, F&& attempt) {
  constexpr int kTries = 3;
  for (int tries = 1;; ++tries) {
    try {
      return attempt();
    } catch (const EPgLockTimeout&) {
      if (tries == kTries)
        throw ESerialPoolBusy("Another station holds pool " + pool + "; try again.");
    }
  }
}

}  // namespace velmorin
