#include "server/ServerSerialSource.h"

#include <algorithm>
#include <limits>

#include "server/PgConnection.h"
#include "server/PgConnectionString.h"
#include "server/ServerText.h"

namespace velmorin {

namespace {

constexpr std::int64_t kHighest = std::numeric_limits<std::int32_t>::max();

// How often one take skips past numbers that are recorded as taken although
// the pool's counter lies at them (someone set it back, or recorded numbers
// ahead of it, by hand). Each skip moves the counter past the run of
// recorded numbers that starts there, so a second one only happens when
// numbers are recorded meanwhile by hand.
constexpr int kMostSkips = 3;

// Takes the pool's next number, after moving the pool up to the station's
// own Next SN ($4) when it lies below, and records it, in one statement (one
// round trip). Answers the number the counter gave (NULL when the pool is
// missing, used up or below 0) and the number recorded (NULL when that number
// is recorded already, as taken before).
const char* const kTakeAndRecord =
    "WITH taken AS ("
    "  UPDATE velmorin_pool SET next_serial = GREATEST(next_serial, $4) + 1"
    "  WHERE name = $1 AND GREATEST(next_serial, $4) >= 0"
    "    AND GREATEST(next_serial, $4) <= LEAST(COALESCE(last_serial, 2147483647), 2147483647)"
    "  RETURNING next_serial - 1 AS serial),"
    " recorded AS ("
    "  INSERT INTO velmorin_serial (pool, serial, station, skeleton, taken_at)"
    "  SELECT $1, serial, $2, $3, now() FROM taken"
    "  ON CONFLICT (pool, serial) DO NOTHING RETURNING serial)"
    " SELECT (SELECT serial FROM taken), (SELECT serial FROM recorded)";

// Moves the pool past the run of recorded numbers that begins at $2, the
// number its counter gave: to the first number after it that has no row.
// Numbers recorded further on stay where they are, to be skipped when the
// counter reaches them.
const char* const kSkipRecordedRun =
    "UPDATE velmorin_pool SET next_serial = GREATEST(next_serial,"
    " (SELECT s.serial + 1 FROM velmorin_serial s WHERE s.pool = $1 AND s.serial >= $2"
    "  AND NOT EXISTS (SELECT FROM velmorin_serial t WHERE t.pool = $1 AND t.serial = s.serial + 1)"
    "  ORDER BY s.serial LIMIT 1))"
    " WHERE name = $1";

// Pools hold the numbers 0..2147483647, as the pool commands allow.
void CheckStart(const std::string& pool, std::int32_t next) {
  if (next < 0)
    throw ESerialPoolRefused("Next SN " + std::to_string(next) + " can't start pool " + pool +
                             ": serial numbers run from 0 to 2147483647.");
}

}  // namespace

ServerSerialSource::ServerSerialSource(std::string connection)
    : FConnection(std::move(connection)) {}

ServerSerialSource::~ServerSerialSource() = default;

PgConnection& ServerSerialSource::Connection() {
  if (!FPg) FPg = std::make_unique<PgConnection>(FConnection);
  return *FPg;
}

std::string ServerSerialSource::Description() const {
  std::string text = DescribeSerialServer(FConnection);
  if (FPg && FPg->Connected())
    text += FPg->Encrypted() ? ", encrypted (TLS)" : ", not encrypted";
  else
    text += ", not connected";
  return text;
}

std::optional<std::int64_t> ServerSerialSource::PoolNext(const std::string& pool) {
  const PgResult r = Connection().Exec("SELECT next_serial FROM velmorin_pool WHERE name = $1",
                                       {ServerText(pool)});
  if (r.Rows() == 0) return std::nullopt;
  return r.Int(0, 0);
}

void ServerSerialSource::KeepPoolAt(const std::string& pool, std::int32_t next) {
  CheckStart(pool, next);
  RetryWhilePoolHeld(pool, [&] { KeepPoolAtOnce(pool, next); });
}

void ServerSerialSource::KeepPoolAtOnce(const std::string& pool, std::int32_t next) {
  PgConnection& pg = Connection();
  PgTransaction transaction(pg);
  const std::string name = ServerText(pool);
  const std::string wanted = std::to_string(next);
  PgResult r = pg.Exec("SELECT next_serial FROM velmorin_pool WHERE name = $1 FOR UPDATE", {name});
  if (r.Rows() == 0) {
    const PgResult made = pg.Exec(
        "INSERT INTO velmorin_pool (name, next_serial, created_at) VALUES ($1, $2, now())"
        " ON CONFLICT (name) DO NOTHING RETURNING name",
        {name, wanted});
    if (made.Rows() == 1) {
      transaction.Commit();
      return;
    }
    // Another station made it meanwhile: judge against what it made.
    r = pg.Exec("SELECT next_serial FROM velmorin_pool WHERE name = $1 FOR UPDATE", {name});
    if (r.Rows() == 0)
      throw ESerialServerError(SerialServerMessage("pool " + pool + " vanished while made"));
  }
  const std::int64_t poolNext = r.Int(0, 0);
  // A pool that has given 2147483647 stands at 2147483648, which Next SN
  // can't hold; its highest value means the same.
  if (poolNext == kHighest + 1 && next == kHighest) return;
  if (next < poolNext)
    throw ESerialPoolRefused("Next SN " + wanted + " is below the next serial number " +
                             std::to_string(poolNext) + " of pool " + pool +
                             "; a pool only moves forward.");
  if (next > poolNext) {
    pg.Exec("UPDATE velmorin_pool SET next_serial = $2 WHERE name = $1", {name, wanted});
    transaction.Commit();
  }
}

std::int32_t ServerSerialSource::Take(const SerialTake& take,
                                      const std::function<void(std::int32_t)>& check) {
  return RetryWhilePoolHeld(take.Pool, [&] { return TakeOnce(take, check); });
}

std::int32_t ServerSerialSource::TakeOnce(const SerialTake& take,
                                          const std::function<void(std::int32_t)>& check) {
  PgConnection& pg = Connection();
  PgTransaction transaction(pg);
  const std::string name = ServerText(take.Pool);
  const PgParams params = {name, ServerText(take.Station), ServerText(take.Skeleton),
                           std::to_string(take.StationNext)};
  std::int64_t number = -1;
  bool lookedAgain = false;
  for (int skips = 0;;) {
    const PgResult r = pg.Exec(kTakeAndRecord, params);
    if (!r.IsNull(0, 1)) {
      number = r.Int(0, 1);
      break;
    }
    if (!r.IsNull(0, 0)) {
      // The counter gave a number that is recorded already. It is never
      // handed out again: move the counter past the recorded ones.
      if (++skips > kMostSkips)
        throw ESerialPoolRefused("Pool " + take.Pool +
                                 " keeps giving numbers that are recorded as taken already.");
      pg.Exec(kSkipRecordedRun, {name, std::to_string(r.Int(0, 0))});
      continue;
    }
    const PgResult pool =
        pg.Exec("SELECT next_serial, last_serial FROM velmorin_pool WHERE name = $1", {name});
    if (pool.Rows() == 0 && !lookedAgain) {
      CheckStart(take.Pool, take.StationNext);
      pg.Exec(
          "INSERT INTO velmorin_pool (name, next_serial, created_at) VALUES ($1, $2, now())"
          " ON CONFLICT (name) DO NOTHING",
          {name, std::to_string(take.StationNext)});
      lookedAgain = true;
      continue;
    }
    if (pool.Rows() == 0)
      throw ESerialServerError(SerialServerMessage("pool " + take.Pool + " vanished while made"));
    const std::int64_t poolNext = pool.Int(0, 0);
    const std::int64_t next = std::max<std::int64_t>(poolNext, take.StationNext);
    if (next < 0)
      throw ESerialPoolRefused("Pool " + take.Pool + " stands at " + std::to_string(poolNext) +
                               ", below 0: serial numbers run from 0 to 2147483647.");
    const std::int64_t last = pool.OptionalInt(0, 1).value_or(kHighest);
    if (next <= std::min(last, kHighest)) {
      // Another station made the pool after this take looked for it.
      if (lookedAgain)
        throw ESerialServerError(
            SerialServerMessage("pool " + take.Pool + " has numbers left, but none was given"));
      lookedAgain = true;
      continue;
    }
    throw ESerialPoolRefused("The serial numbers of pool " + take.Pool + " are used up (last " +
                             std::to_string(last) + ").");
  }
  const auto serial = static_cast<std::int32_t>(number);
  // Raising here leaves through the transaction's rollback: nothing is taken.
  check(serial);
  transaction.Commit();
  return serial;
}

void ServerSerialSource::Finish(const std::string& pool, std::int32_t serial,
                                const SerialEnd& end) {
  const auto orNull = [](const std::string& text) {
    return text.empty() ? std::nullopt : std::optional(ServerText(text));
  };
  PgConnection& pg = Connection();
  // A result records what became of a number already handed out; waiting for
  // the disk here would cost as much as the take itself. The server writes it
  // out within a fraction of a second, and the next take's commit, which does
  // wait, writes the log up to and past it. Only a server crash in that
  // fraction of a second can lose a result: its row then reads as under way,
  // as after a station's crash, and the local record keeps it.
  PgTransaction transaction(pg, PgCommit::Unflushed);
  pg.Exec(
      "UPDATE velmorin_serial SET output_file = $3, result = $4, exit_code = $5, message = $6,"
      " finished_at = now() WHERE pool = $1 AND serial = $2",
      {ServerText(pool), std::to_string(serial), orNull(end.OutputFile), end.Result,
       end.ExitCode ? std::optional(std::to_string(*end.ExitCode)) : std::nullopt,
       orNull(end.Message)});
  transaction.Commit();
}

std::unique_ptr<SerialSource> ConnectSerialServer(const std::string& connection) {
  return std::make_unique<ServerSerialSource>(connection);
}

std::string DescribeSerialServer(const std::string& connection) {
  return PgConnectionString(connection).Description();
}

}  // namespace velmorin
