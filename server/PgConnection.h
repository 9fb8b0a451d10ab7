// A small owner of one libpq connection, for the serial server. It keeps the
// rules the stations rely on in one place:
//  - every value goes to the server as a parameter, never inside the SQL;
//  - connecting and every statement end within about ten seconds, so a dead
//    network or a stuck server never hangs the window;
//  - every failure is an ESerialServerError "Unable to reach the serial
//    server: <reason>" and drops the connection, so that the next use starts
//    on a fresh one (a transaction left open is then rolled back by the
//    server);
//  - no message ever holds the connection string, which may hold a password.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// The values of $1, $2, ...; an empty optional is SQL NULL.
using PgParams = std::vector<std::optional<std::string>>;

class PgConnection {
 public:
  // How long connecting (per host) and each statement may take.
  static constexpr std::chrono::seconds kTimeLimit{10};

  // `connection` is a libpq connection string, used as it is with a few
  // defaults it may override (the connect timeout, TCP keepalives). Nothing
  // is connected until the first statement.
  explicit PgConnection(std::string connection);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Runs one statement. A failed statement, a lost connection or no answer
  // within the time limit raises ESerialServerError and drops the connection.
  PgResult Exec(const std::string& sql, const PgParams& params = {});

  // BEGIN. On a connection that has been idle since its last use, a failure
  // here is most often a server that restarted or failed over meanwhile:
  // nothing has been done yet, so it connects anew and tries once more
  // (unless the failure was a time limit, which used up the wait already).
  void Begin();
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

 private:
  void Connect();
  [[noreturn]] void Fail(const std::string& reason);

  std::string FConnection;
  pg_conn* FConn = nullptr;
};

// One transaction: BEGIN when made, ROLLBACK when left without Commit().
class PgTransaction {
 public:
  explicit PgTransaction(PgConnection& pg) : FPg(pg) { FPg.Begin(); }
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

// Checks that libpq can read `connection` and returns its keywords and values
// (only those the string names). Raises ESerialServerError otherwise, without
// quoting the string, which may hold a password.
std::vector<std::pair<std::string, std::string>> ParseConnectionString(
    const std::string& connection);

}  // namespace velmorin
