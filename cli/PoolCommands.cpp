#include "PoolCommands.h"

#include <nlohmann/json.hpp>

#include "EscapedText.h"
#include "Exceptions.h"
#include "IniFile.h"
#include "JsonText.h"
#include "ProfileKeys.h"
#include "StandardOutput.h"
#include "UsageError.h"

#if VELMORIN_SERIAL_SERVER
#include "SerialPools.h"
#endif

namespace velmorin::cli {

namespace {

#if VELMORIN_SERIAL_SERVER

// A pool's name is what a profile's SerialPool key or its skeleton's stem
// gives: one line of an INI file, never empty.
void RequirePoolName(const std::string& name) {
  if (name.empty()) throw EUsageError("The pool name is empty");
  if (name.find_first_of("\r\n") != std::string::npos) {
    throw EUsageError("The pool name \"" + name +
                      "\" holds a line break, which no profile could name");
  }
}

nlohmann::ordered_json PoolJson(const SerialPoolState& pool) {
  nlohmann::ordered_json j;
  j["name"] = pool.Name;
  j["next_serial"] = pool.Next;
  if (pool.Last) {
    j["last_serial"] = *pool.Last;
  } else {
    j["last_serial"] = nullptr;
  }
  j["created_at"] = pool.CreatedAt;
  return j;
}

#else

[[noreturn]] void NoServerSupport() {
  throw Exception(
      "This velmorin-cli was built without serial server support (PostgreSQL's libpq was "
      "missing), so it has no server or pool commands");
}

#endif

}  // namespace

PoolCommands::PoolCommands(IniLocation location, bool json, std::FILE* out)
    : FLocation(std::move(location)), FJson(json), FOut(out) {}

std::string PoolCommands::SerialServerOf(const std::string& iniPath) {
  const IniFile file(iniPath);
  // Read whole: a connection string may be longer than other values, and a
  // cut one would connect without its last options.
  const std::string connection = file.Read().ReadWholeString(kOptionsSection, kSerialServerKey, "");
  if (connection.empty()) {
    throw Exception("No serial server is set in " + file.FileName() + ": its section [" +
                    kOptionsSection + "] has no " + kSerialServerKey +
                    "=<libpq connection string>");
  }
  return connection;
}

std::string PoolCommands::Connection() const {
  return SerialServerOf(FLocation.Path);
}

void PoolCommands::Print(const std::string& text) {
  WriteOutput(FOut, text);
}

#if VELMORIN_SERIAL_SERVER

int PoolCommands::InitServer(const std::optional<std::string>& stationRole) {
  if (stationRole && stationRole->empty()) throw EUsageError("The role name is empty");
  SerialPools pools(Connection());
  pools.InitSchema();
  if (stationRole) pools.GrantStation(*stationRole);
  return 0;
}

int PoolCommands::List() {
  const std::vector<SerialPoolState> pools = SerialPools(Connection()).List();
  if (FJson) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const SerialPoolState& pool : pools) list.push_back(PoolJson(pool));
    Print(JsonText(list, 2) + "\n");
    return 0;
  }
  // One pool a line: name, next and last ("-" for none), tab-separated; a
  // tab or a control character in a name is shown escaped.
  std::string text;
  for (const SerialPoolState& pool : pools) {
    text += EscapedText(pool.Name) + "\t" + std::to_string(pool.Next) + "\t" +
            (pool.Last ? std::to_string(*pool.Last) : "-") + "\n";
  }
  Print(text);
  return 0;
}

int PoolCommands::Show(const std::string& name) {
  RequirePoolName(name);
  const std::string connection = Connection();
  const std::optional<SerialPoolState> pool = SerialPools(connection).Find(name);
  if (!pool) throw Exception("There is no pool " + name + " on the serial server");
  if (FJson) {
    Print(JsonText(PoolJson(*pool), 2) + "\n");
    return 0;
  }
  // The schema's own names, as a quality system querying it sees them.
  std::string text =
      "name=" + EscapedText(pool->Name) + "\nnext_serial=" + std::to_string(pool->Next) + "\n";
  if (pool->Last) text += "last_serial=" + std::to_string(*pool->Last) + "\n";
  text += "created_at=" + pool->CreatedAt + "\n";
  Print(text);
  return 0;
}

int PoolCommands::Create(const std::string& name, std::int64_t next,
                         std::optional<std::int64_t> last) {
  RequirePoolName(name);
  SerialPools(Connection()).Create(name, next, last);
  return 0;
}

int PoolCommands::Set(const std::string& name, std::optional<std::int64_t> next,
                      std::optional<std::int64_t> last) {
  RequirePoolName(name);
  if (!next && !last) throw EUsageError("pool set changes nothing without --next or --last");
  SerialPools(Connection()).Set(name, next, last);
  return 0;
}

#else

int PoolCommands::InitServer(const std::optional<std::string>&) {
  NoServerSupport();
}

int PoolCommands::List() {
  NoServerSupport();
}

int PoolCommands::Show(const std::string&) {
  NoServerSupport();
}

int PoolCommands::Create(const std::string&, std::int64_t, std::optional<std::int64_t>) {
  NoServerSupport();
}

int PoolCommands::Set(const std::string&, std::optional<std::int64_t>,
                      std::optional<std::int64_t>) {
  NoServerSupport();
}

#endif

}  // namespace velmorin::cli
