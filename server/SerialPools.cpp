#include "server/SerialPools.h"

#include <limits>

#include "server/PgConnection.h"
#include "server/ServerSerialSource.h"
#include "server/ServerText.h"

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

// What the schema holds besides its tables, each made when missing, so that
// running init again, also on tables an earlier version made, brings them
// in: the range of every number (a pool stands at 2147483648 once it has
// given 2147483647), and a trigger that refuses a pool's next number going
// down, whoever sends it.
const char* const kSchemaRules = R"(
CREATE OR REPLACE FUNCTION velmorin_pool_forward_only() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
  IF NEW.next_serial < OLD.next_serial THEN
    RAISE EXCEPTION 'the next serial number of pool % may not go back from % to %',
      OLD.name, OLD.next_serial, NEW.next_serial USING ERRCODE = 'check_violation';
  END IF;
  RETURN NEW;
END $$;
DO $$
DECLARE
  rule record;
BEGIN
  FOR rule IN SELECT * FROM (VALUES
      ('velmorin_pool', 'velmorin_pool_next_serial_range',
       'CHECK (next_serial BETWEEN 0 AND 2147483648)'),
      ('velmorin_pool', 'velmorin_pool_last_serial_range',
       'CHECK (last_serial BETWEEN 0 AND 2147483647)'),
      ('velmorin_serial', 'velmorin_serial_serial_range',
       'CHECK (serial BETWEEN 0 AND 2147483647)')) AS r (tab, name, body)
  LOOP
    IF NOT EXISTS (SELECT FROM pg_constraint
                   WHERE conname = rule.name AND conrelid = rule.tab::regclass) THEN
      EXECUTE format('ALTER TABLE %I ADD CONSTRAINT %I %s', rule.tab, rule.name, rule.body);
    END IF;
  END LOOP;
  IF NOT EXISTS (SELECT FROM pg_trigger WHERE tgname = 'velmorin_pool_forward_only'
                 AND tgrelid = 'velmorin_pool'::regclass) THEN
    CREATE TRIGGER velmorin_pool_forward_only BEFORE UPDATE OF next_serial ON velmorin_pool
      FOR EACH ROW EXECUTE FUNCTION velmorin_pool_forward_only();
  END IF;
END $$)";

// The station role's rights, exactly: reading and recording, moving a
// pool's counter, and filling in a number's result. No DELETE, and no
// change of a recorded serial, station, skeleton or time taken. %I is the
// role's name, quoted by the server.
const char* const kStationGrants[] = {
    "REVOKE ALL ON velmorin_pool, velmorin_serial FROM %I",
    "GRANT SELECT, INSERT ON velmorin_pool, velmorin_serial TO %I",
    "GRANT UPDATE (next_serial) ON velmorin_pool TO %I",
    "GRANT UPDATE (output_file, result, exit_code, message, finished_at) ON velmorin_serial"
    " TO %I",
};

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
  FPg->Exec(kSchemaRules);
  transaction.Commit();
}

void SerialPools::GrantStation(const std::string& role) {
  PgTransaction transaction(*FPg);
  const PgResult r = FPg->Exec(
      "SELECT r.rolname, pg_get_userbyid(c.relowner),"
      " pg_has_role(r.oid, c.relowner, 'USAGE') OR r.rolsuper"
      " FROM pg_roles r, pg_class c WHERE r.rolname = $1 AND c.oid = 'velmorin_pool'::regclass",
      {role});
  if (r.Rows() == 0)
    throw ESerialPoolRefused("There is no role " + role +
                             " on the serial server; make it first (CREATE ROLE " + role +
                             " LOGIN).");
  if (r.Text(0, 2) == "t")
    throw ESerialPoolRefused("Role " + role + " has the rights of the tables' owner " +
                             r.Text(0, 1) +
                             "; the stations need a role of their own, with no other rights.");
  for (const char* grant : kStationGrants) {
    const PgResult statement = FPg->Exec("SELECT format($1, $2::text)", {grant, role});
    FPg->Exec(statement.Text(0, 0));
  }
  transaction.Commit();
}

std::vector<SerialPoolState> SerialPools::List() {
  const PgResult r = FPg->Exec(std::string(kSelectPool) + " ORDER BY name");
  std::vector<SerialPoolState> pools;
  for (int row = 0; row < r.Rows(); ++row) pools.push_back(PoolFrom(r, row));
  return pools;
}

std::optional<SerialPoolState> SerialPools::Find(const std::string& name) {
  const PgResult r = FPg->Exec(std::string(kSelectPool) + " WHERE name = $1", {ServerText(name)});
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
      {ServerText(name), std::to_string(next),
       last ? std::optional(std::to_string(*last)) : std::nullopt});
  if (r.Rows() == 0) throw ESerialPoolRefused("Pool " + name + " exists already.");
}

void SerialPools::Set(const std::string& name, std::optional<std::int64_t> next,
                      std::optional<std::int64_t> last) {
  if (next) CheckRange("Next", *next);
  if (last) CheckRange("Last", *last);
  RetryWhilePoolHeld(name, [&] { SetOnce(name, next, last); });
}

void SerialPools::SetOnce(const std::string& name, std::optional<std::int64_t> next,
                          std::optional<std::int64_t> last) {
  PgTransaction transaction(*FPg);
  const std::string stored = ServerText(name);
  const PgResult r = FPg->Exec(std::string(kSelectPool) + " WHERE name = $1 FOR UPDATE", {stored});
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
  // Only what changes is written: a station's role may move the counter but
  // not change the last number.
  if (newNext != now.Next)
    FPg->Exec("UPDATE velmorin_pool SET next_serial = $2 WHERE name = $1",
              {stored, std::to_string(newNext)});
  if (last && last != now.Last) {
    if (FPg->Exec("SELECT has_column_privilege('velmorin_pool', 'last_serial', 'UPDATE')")
            .Text(0, 0) != "t")
      throw ESerialPoolRefused("This role may not change the last number of pool " + name +
                               "; the owner of the serial server's tables sets it.");
    FPg->Exec("UPDATE velmorin_pool SET last_serial = $2 WHERE name = $1",
              {stored, std::to_string(*last)});
  }
  transaction.Commit();
}

}  // namespace velmorin
