#include "cli/PoolCommands.h"

#include <climits>
#include <nlohmann/json.hpp>

#include "base/Exceptions.h"
#include "cli/EscapedText.h"
#include "cli/JsonText.h"
#include "cli/StandardOutput.h"
#include "cli/UsageError.h"
#include "profiles/SerialSource.h"

#if VELMORIN_SERIAL_SERVER
#include "server/SerialPools.h"
#endif

namespace velmorin::cli {

namespace {

#if VELMORIN_SERIAL_SERVER

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

std::string PoolCommands::Connection() const {
  return NamedSerialServer(FLocation.Path);
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

void ServerCommand::Declare(CLI::App& app) {
  // The serial server that several stations share, named by
  // "[Options] SerialServer" of the INI file.
  FCommand = app.add_subcommand(
      "server", "Set up the serial server named by [Options] SerialServer of the INI file");
  FCommand->require_subcommand(1);
  FCommand->fallthrough();
  FInit = FCommand->add_subcommand(
      "init", "Create the tables of the serial pools; run by the schema's owner, again harmless");
  FInit
      ->add_option("--grant-station", FStationRole,
                   "Give this existing role exactly the rights a station needs, and no other")
      ->type_name("ROLE");
}

int ServerCommand::Run(const CommandContext& context) {
  return PoolCommands(context.Location(), false, context.Out).InitServer(FStationRole);
}

void PoolCommand::Declare(CLI::App& app) {
  // A pool's numbers: a value outside is a usage error, and the help shows
  // the range.
  const CLI::Range kSerialRange(std::int64_t{0}, std::int64_t{INT32_MAX});
  FCommand = app.add_subcommand(
      "pool", "Read and change the serial server's pools, which profiles draw numbers from");
  FCommand->require_subcommand(1);
  FCommand->fallthrough();
  FList = FCommand->add_subcommand("list", "List the pools: name, next and last number");
  FList->add_flag("--json", FJson, "Print JSON");
  FShow = FCommand->add_subcommand("show", "Print one pool");
  FShow->add_option("NAME", FName, "The pool's name")->required();
  FShow->add_flag("--json", FJson, "Print JSON");
  FCreate = FCommand->add_subcommand("create", "Make a pool");
  FCreate->add_option("NAME", FName, "The pool's name")->required();
  FCreate->add_option("--next", FNext, "The first number it hands out")
      ->type_name("N")
      ->check(kSerialRange)
      ->required();
  FCreate->add_option("--last", FLast, "The last number it may hand out (default: none)")
      ->type_name("M")
      ->check(kSerialRange);
  CLI::App* set = FCommand->add_subcommand(
      "set", "Move a pool's next number forward, or change its last number");
  set->add_option("NAME", FName, "The pool's name")->required();
  set->add_option("--next", FNext, "The next number; never below the pool's next")
      ->type_name("N")
      ->check(kSerialRange);
  set->add_option("--last", FLast, "The last number it may hand out")
      ->type_name("M")
      ->check(kSerialRange);
}

int PoolCommand::Run(const CommandContext& context) {
  PoolCommands pools(context.Location(), FJson, context.Out);
  if (FList->parsed()) return pools.List();
  if (FShow->parsed()) return pools.Show(FName);
  if (FCreate->parsed()) return pools.Create(FName, *FNext, FLast);
  return pools.Set(FName, FNext, FLast);
}

}  // namespace velmorin::cli
