#include "server/PgConnection.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "platform/system/SocketWait.h"
#include "profiles/SerialSource.h"

namespace velmorin {

namespace {

// Defaults the user's connection string may override: libpq gives a later
// keyword precedence, and the string's own options come after these.
// Keepalives and tcp_user_timeout let a dead TCP peer be noticed within
// seconds, not the system's default of hours.
const char* const kDefaultKeys[] = {
    "connect_timeout",  "keepalives",       "keepalives_idle",          "keepalives_interval",
    "keepalives_count", "tcp_user_timeout", "fallback_application_name"};
const char* const kDefaultValues[] = {"10", "1", "5", "2", "3", "10000", "velmorin"};

// A transaction's start, with what it sets for itself, in one round trip. A
// durable commit waits for the disk and the synchronous standbys whatever
// the server's default (a server tuned with synchronous_commit = off would
// otherwise lose, at a crash, a number a station has stamped, and hand it
// out again); remote_apply, stricter still, stays. A row lock is waited for
// kLockWait at most.
std::string BeginStatement(PgCommit commit) {
  const std::string durability =
      commit == PgCommit::Durable
          ? "SELECT set_config('synchronous_commit', 'on', true)"
            " WHERE current_setting('synchronous_commit') NOT IN ('on', 'remote_apply')"
          : "SET LOCAL synchronous_commit TO off";
  return "BEGIN; " + durability + "; SET LOCAL lock_timeout TO " +
         std::to_string(std::chrono::milliseconds(PgConnection::kLockWait).count());
}

// SQLSTATE lock_not_available: lock_timeout ran out.
const char* const kLockNotAvailable = "55P03";

std::string TrimEnd(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

// The server's own words for a failed statement, without the statement's
// position marker lines that PQresultErrorMessage adds.
std::string ResultReason(const PGresult* result, const PGconn* conn) {
  if (result) {
    if (const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)) return primary;
    const std::string whole = PQresultErrorMessage(result);
    if (!TrimEnd(whole).empty()) return whole;
  }
  return PQerrorMessage(conn);
}

// Waits until the connection's socket has something to read or `timeout`
// passes: above 0 when it has, 0 on time-out, below 0 on failure with the
// reason in `failure`. libpq 15 has no wait of its own (PQsocketPoll came
// later), so this is the platform's wait (poll(2), or WSAPoll on the SOCKET
// that PQsocket gives on Windows).
int WaitReadable(const PGconn* conn, std::chrono::milliseconds timeout, std::string& failure) {
  return WaitForReading(PQsocket(conn), timeout, failure);
}

}  // namespace

std::string SerialServerMessage(const std::string& reason) {
  std::string trimmed = TrimEnd(reason);
  if (trimmed.empty()) trimmed = "no reason given";
  return kSerialServerUnreachable + trimmed;
}

// --- PgResult ---

void PgResult::Clear::operator()(pg_result* result) const {
  PQclear(result);
}

PgResult::PgResult(pg_result* result) : FResult(result) {}

int PgResult::Rows() const {
  return PQntuples(FResult.get());
}

int PgResult::Columns() const {
  return PQnfields(FResult.get());
}

bool PgResult::IsNull(int row, int column) const {
  return PQgetisnull(FResult.get(), row, column) != 0;
}

std::string PgResult::Text(int row, int column) const {
  return std::string(PQgetvalue(FResult.get(), row, column),
                     static_cast<std::size_t>(PQgetlength(FResult.get(), row, column)));
}

std::int64_t PgResult::Int(int row, int column) const {
  const std::string text = Text(row, column);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty())
    throw ESerialServerError(
        SerialServerMessage("the server sent \"" + text + "\" where a number belongs"));
  return value;
}

std::optional<std::int64_t> PgResult::OptionalInt(int row, int column) const {
  if (IsNull(row, column)) return std::nullopt;
  return Int(row, column);
}

std::string PgResult::CommandStatus() const {
  return PQcmdStatus(FResult.get());
}

// --- PgConnection ---

PgConnection::PgConnection(std::string connection) : FConnection(std::move(connection)) {}

PgConnection::~PgConnection() {
  Drop();
}

void PgConnection::Drop() noexcept {
  if (FConn) PQfinish(FConn);
  FConn = nullptr;
}

void PgConnection::Fail(const std::string& reason, const std::string& sqlState) {
  const std::string message =
      SerialServerMessage(FParsed ? FParsed->Redacted(reason) : std::string(reason));
  Drop();
  if (sqlState == kLockNotAvailable) throw EPgLockTimeout(message);
  throw ESerialServerError(message);
}

bool PgConnection::Encrypted() const {
  return FConn != nullptr && PQsslInUse(FConn) != 0;
}

void PgConnection::Connect() {
  // Read the string first, so that its faults are reported without quoting
  // it; libpq then gets exactly the options read, and expands none of them.
  FParsed.emplace(FConnection);
  std::vector<const char*> keys(std::begin(kDefaultKeys), std::end(kDefaultKeys));
  std::vector<const char*> values(std::begin(kDefaultValues), std::end(kDefaultValues));
  for (const auto& [key, value] : FParsed->Options()) {
    keys.push_back(key.c_str());
    values.push_back(value.c_str());
  }
  // The names sent are UTF-8 (ServerText), whatever the string asks for.
  keys.push_back("client_encoding");
  values.push_back("UTF8");
  keys.push_back(nullptr);
  values.push_back(nullptr);
  FConn = PQconnectdbParams(keys.data(), values.data(), 0);
  if (!FConn) throw ESerialServerError(SerialServerMessage("out of memory"));
  if (PQstatus(FConn) != CONNECTION_OK) Fail(PQerrorMessage(FConn));
  // CREATE TABLE IF NOT EXISTS and the like send notices; libpq would print
  // them on standard error.
  PQsetNoticeProcessor(
      FConn, [](void*, const char*) {}, nullptr);
  // The server ends a statement that runs too long itself, and a transaction
  // left idle by a station that stopped or whose network died, so that its
  // row lock does not stop the other stations for the hours TCP takes to
  // notice. None of ours sits idle for more than milliseconds.
  Exec(
      "SELECT set_config('statement_timeout', $1, false), "
      "set_config('idle_in_transaction_session_timeout', $2, false)",
      {std::to_string(std::chrono::milliseconds(kTimeLimit).count()),
       std::to_string(std::chrono::milliseconds(kIdleInTransaction).count())});
}

PgResult PgConnection::Exec(const std::string& sql, const PgParams& params) {
  if (FConn && PQstatus(FConn) != CONNECTION_OK) Drop();
  if (!FConn) Connect();

  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
  // A statement without values may be several (a transaction's start with
  // its settings), which only the simple protocol takes in one round trip.
  const int sent = params.empty()
                       ? PQsendQuery(FConn, sql.c_str())
                       : PQsendQueryParams(FConn, sql.c_str(), static_cast<int>(values.size()),
                                           nullptr, values.data(), nullptr, nullptr, 0);
  if (!sent) Fail(PQerrorMessage(FConn));

  // Wait for the whole answer, but no longer than the time limit. On time-out
  // the connection is dropped rather than cancelled: a cancel request opens a
  // connection of its own, which could hang on the same dead network, and the
  // server's statement_timeout ends the statement there.
  const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
  while (PQisBusy(FConn)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      Fail("no answer within " + std::to_string(kTimeLimit.count()) + " seconds");
    std::string waitFailure;
    const int ready = WaitReadable(FConn, left, waitFailure);
    if (ready < 0) Fail(waitFailure);
    if (ready > 0 && !PQconsumeInput(FConn)) Fail(PQerrorMessage(FConn));
  }

  PgResult first(nullptr);
  bool any = false;
  std::string failure, sqlState;
  while (PGresult* r = PQgetResult(FConn)) {
    const ExecStatusType status = PQresultStatus(r);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && failure.empty()) {
      failure = ResultReason(r, FConn);
      if (const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE)) sqlState = state;
    }
    if (!any) {
      first = PgResult(r);
      any = true;
    } else {
      PQclear(r);
    }
  }
  if (!failure.empty()) Fail(failure, sqlState);
  if (!any) Fail(PQerrorMessage(FConn));
  return first;
}

void PgConnection::Begin(PgCommit commit) {
  const std::string begin = BeginStatement(commit);
  const bool reused = FConn != nullptr;
  const auto started = std::chrono::steady_clock::now();
  try {
    Exec(begin);
  } catch (const ESerialServerError&) {
    // A connection the server closed meanwhile fails at once; one that ran
    // into a time limit has used up the time the window may wait.
    if (!reused || std::chrono::steady_clock::now() - started > std::chrono::seconds(1)) throw;
    Exec(begin);
  }
}

void PgConnection::Commit() {
  const PgResult result = Exec("COMMIT");
  // COMMIT of a transaction that failed on the way answers ROLLBACK.
  if (result.CommandStatus() != "COMMIT")
    Fail("the server rolled the transaction back (" + result.CommandStatus() + ")");
}

void PgConnection::Rollback() noexcept {
  if (!FConn) return;
  try {
    Exec("ROLLBACK");
  } catch (...) {
    Drop();
  }
}

}  // namespace velmorin
