#include "SerialPools.h"

#include <limits>

#include "PgConnection.h"
#include "ServerSerialSource.h"

namespace velmorin {

namespace {

constexpr std::int64_t kHighest = std::numeric_limits<std::int32_t>::max();

// The window's Next SN is 32 bits wide, so every number a pool takes or is
// set to lies in 0..2147483647.
void CheckRange(const char* what, std::int64_t value) {
  if (value < 0 || value > kHighest)
    throw ESerialPoolRefused(std::string(what) + " " + std::to_string(value) +
                             " is out of range: serial numbers run from 0 to 2147483647.");
}

SerialPoolState PoolFrom(const PgResult& r, int row) {
  SerialPoolState pool;
  pool.Name = r.Text(row, 0);
  pool.Next = r.Int(row, 1);
  pool.Last = r.OptionalInt(row, 2);
  if (!r.IsNull(row, 3)) pool.CreatedAt = r.Text(row, 3);
  return pool;
}

const char* const kSelectPool =
    "SELECT name, next_serial, last_serial, created_at::text FROM velmorin_pool";

}  // namespace

SerialPools::SerialPools(const std::string& connection)
    : FPg(std::make_unique<PgConnection>(connection)) {}

SerialPools::~SerialPools() = default;

void SerialPools::InitSchema() {
  PgTransaction transaction(*FPg);
  FPg->Exec(
      "CREATE TABLE IF NOT EXISTS velmorin_pool ("
      " name text PRIMARY KEY,"
      " next_serial bigint NOT NULL,"
      " last_serial bigint,"
      " created_at timestamptz DEFAULT now())");
  FPg->Exec(
      "CREATE TABLE IF NOT EXISTS velmorin_serial ("
      " pool text REFERENCES velmorin_pool,"
      " serial bigint,"
      " station text,"
      " skeleton text,"
      " output_file text,"
      " result text,"
      " exit_code bigint,"
      " message text,"
      " taken_at timestamptz,"
      " finished_at timestamptz,"
      " PRIMARY KEY (pool, serial))");
  transaction.Commit();
}

std::vector<SerialPoolState> SerialPools::List() {
  const PgResult r = FPg->Exec(std::string(kSelectPool) + " ORDER BY name");
  std::vector<SerialPoolState> pools;
  for (int row = 0; row < r.Rows(); ++row) pools.push_back(PoolFrom(r, row));
  return pools;
}

std::optional<SerialPoolState> SerialPools::Find(const std::string& name) {
  const PgResult r = FPg->Exec(std::string(kSelectPool) + " WHERE name = $1", {name});
  if (r.Rows() == 0) return std::nullopt;
  return PoolFrom(r, 0);
}

void SerialPools::Create(const std::string& name, std::int64_t next,
                         std::optional<std::int64_t> last) {
  CheckRange("Next", next);
  if (last) {
    CheckRange("Last", *last);
    if (*last < next)
      throw ESerialPoolRefused("Last " + std::to_string(*last) + " is below next " +
                               std::to_string(next) + "; pool " + name + " would have no number.");
  }
  const PgResult r = FPg->Exec(
      "INSERT INTO velmorin_pool (name, next_serial, last_serial, created_at)"
      " VALUES ($1, $2, $3, now()) ON CONFLICT (name) DO NOTHING RETURNING name",
      {name, std::to_string(next), last ? std::optional(std::to_string(*last)) : std::nullopt});
  if (r.Rows() == 0) throw ESerialPoolRefused("Pool " + name + " exists already.");
}

void SerialPools::Set(const std::string& name, std::optional<std::int64_t> next,
                      std::optional<std::int64_t> last) {
  if (next) CheckRange("Next", *next);
  if (last) CheckRange("Last", *last);
  PgTransaction transaction(*FPg);
  const PgResult r = FPg->Exec(std::string(kSelectPool) + " WHERE name = $1 FOR UPDATE", {name});
  if (r.Rows() == 0) throw ESerialPoolRefused("There is no pool " + name + ".");
  const SerialPoolState now = PoolFrom(r, 0);

  std::int64_t newNext = next.value_or(now.Next);
  // A pool that has given 2147483647 stands at 2147483648; the highest
  // number a person can enter means the same.
  if (now.Next == kHighest + 1 && newNext == kHighest) newNext = now.Next;
  if (newNext < now.Next)
    throw ESerialPoolRefused("Next " + std::to_string(newNext) +
                             " is below the next serial number " + std::to_string(now.Next) +
                             " of pool " + name + "; a pool only moves forward.");
  const std::optional<std::int64_t> newLast = last ? last : now.Last;
  // A used-up pool stands one past its last; that is checked only when this
  // call changes either number. A last just below a next that stays is the
  // used-up pool's own (one that has given 2147483647 takes that last).
  const bool changes = last.has_value() || newNext != now.Next;
  const bool usedUpAsItStands = newNext == now.Next && newLast && *newLast == newNext - 1;
  if (changes && newLast && *newLast < newNext && !usedUpAsItStands)
    throw ESerialPoolRefused("Last " + std::to_string(*newLast) + " is below next " +
                             std::to_string(newNext) + "; pool " + name + " would have no number.");
  FPg->Exec("UPDATE velmorin_pool SET next_serial = $2, last_serial = $3 WHERE name = $1",
            {name, std::to_string(newNext),
             newLast ? std::optional(std::to_string(*newLast)) : std::nullopt});
  transaction.Commit();
}

}  // namespace velmorin
