// velmorin-cli: the command line of Velmorin, for jig scripts and the line's
// own tools. The same profiles, the same lock and the same road of one
// serialization as the window, with exit codes and JSON for machines.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ErrorExit.h"
#include "ExitCode.h"
#include "IniLocation.h"
#include "PoolCommands.h"
#include "ProfileCommands.h"
#include "SerializeCommand.h"
#include "StampCommand.h"
#include "StandardOutput.h"
#include "UsageError.h"

namespace {

using namespace velmorin;
using namespace velmorin::cli;

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0    every image done (or the command did what it was asked)\n"
    "  1    an error; its text follows \"velmorin-cli: \" on standard error (also a serial\n"
    "       number refused before it was taken: Next SN stays and nothing is written)\n"
    "  2    usage: unknown command, option, key or value; nothing was touched\n"
    "  3    an image not done: Cancel at the prompt, a burner that failed or could not start\n"
    "  4    the INI file is in use by another copy of Velmorin\n"
    "  130  stopped by Ctrl-C or SIGTERM\n";

constexpr const char* kIniHelp =
    "The INI file of the profiles (default: the one the window beside this program uses)";

// CLI11 takes every word after "--" as a name, so that options given after
// a name that starts with "-" ("pool create -- -dash --next 8") would be
// names too. For a command that takes one name, followed there by an option,
// "--" and the name go behind the rest, where CLI11 reads the name as the
// name and the words between as the options they are. A command line that
// "--" already ends keeps its meaning. `args` are the words after the
// program's name.
std::vector<std::string> NameAfterDoubleDashLast(const CLI::App& app,
                                                 std::vector<std::string> args) {
  const auto dash = std::find(args.begin(), args.end(), "--");
  if (dash == args.end() || args.end() - dash <= 2 || (dash + 2)->rfind('-', 0) != 0) {
    return args;
  }
  const CLI::App* command = &app;
  for (auto word = args.begin(); word != dash; ++word) {
    const std::function<bool(const CLI::App*)> named = [&](const CLI::App* sub) {
      return sub->get_name() == *word;
    };
    const std::vector<const CLI::App*> found = command->get_subcommands(named);
    if (!found.empty()) command = found.front();
  }
  const auto names = command->get_options([](const CLI::Option* o) { return o->get_positional(); });
  if (command == &app || names.size() != 1) return args;
  std::vector<std::string> moved(args.begin(), dash);
  moved.insert(moved.end(), dash + 2, args.end());
  moved.insert(moved.end(), {"--", *(dash + 1)});
  return moved;
}

int Run(int argc, char** argv) {
  CLI::App app{
      "Velmorin on the command line: the profiles, stamping and serialization of Intel HEX "
      "images, with the window's INI file and lock.",
      "velmorin-cli"};
  app.set_version_flag("--version", "velmorin-cli " VELMORIN_VERSION);
  app.footer(kExitCodes);
  app.require_subcommand(1);
  // Options of the program (--ini) may also follow the command.
  app.fallthrough();
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return std::string("velmorin-cli: ") + e.what() + "\nRun with --help for more information.\n";
  });

  std::optional<std::string> ini;
  app.add_option("--ini", ini, kIniHelp)->type_name("FILE");

  bool json = false;
  std::string skeleton;
  std::vector<std::string> assignments;

  CLI::App* profiles =
      app.add_subcommand("profiles", "List the profiles: skeleton path and Next SN");
  profiles->add_flag("--json", json, "Print JSON");

  CLI::App* show = app.add_subcommand("show", "Print the settings of one profile");
  show->add_option("SKELETON", skeleton, "The profile's skeleton file path")->required();
  show->add_flag("--json", json, "Print JSON");

  CLI::App* add =
      app.add_subcommand("add", "Make a profile with the defaults of a new one, then set values");
  add->add_option("SKELETON", skeleton, "The profile's skeleton file path")->required();
  add->add_option("KEY=VALUE", assignments, "Values to set, as in the INI file");

  CLI::App* set = app.add_subcommand("set", "Change stored values of a profile");
  set->add_option("SKELETON", skeleton, "The profile's skeleton file path")->required();
  set->add_option("KEY=VALUE", assignments, "Values to set, as in the INI file")->required();

  CLI::App* remove = app.add_subcommand("remove", "Erase a profile");
  remove->add_option("SKELETON", skeleton, "The profile's skeleton file path")->required();

  SerializeRequest serializeRequest;
  CLI::App* serialize = app.add_subcommand(
      "serialize", "Serialize one image, or a batch, exactly as the window's Serialize 1 does");
  serialize->add_option("SKELETON", serializeRequest.Skeleton, "The profile's skeleton file path")
      ->required();
  serialize->add_option("--count", serializeRequest.Count, "Serialize a batch of N images")
      ->type_name("N")
      ->check(CLI::Range(1, INT_MAX));
  serialize->add_flag("--yes", serializeRequest.Yes,
                      "Answer OK to \"Prepare a chip in the burner, please.\" without asking");
  serialize->add_flag("--json", serializeRequest.Json,
                      "Print one JSON object per number taken; the burner's output goes to "
                      "standard error");

  StampRequest stampRequest;
  CLI::App* stamp = app.add_subcommand(
      "stamp", "Stamp one number into one image, with no profile, no INI file and no counter");
  stamp->add_option("SKELETON", stampRequest.Skeleton, "The Intel HEX image to read")->required();
  stamp->add_option("OUTPUT", stampRequest.Output, "The Intel HEX file to write")->required();
  stamp
      ->add_option("--serial", stampRequest.Serial, "The number (decimal, or hexadecimal after 0x)")
      ->type_name("N")
      ->required();
  stamp->add_option("--size", stampRequest.Size, "Bytes to write (default 2)")->type_name("BYTES");
  stamp->add_flag("--lsb", stampRequest.LsbFirst, "LSB first (default MSB first)");
  stamp->add_option("--at", stampRequest.At, "Address in hexadecimal; one to four of them")
      ->type_name("ADDR")
      ->allow_extra_args(false)
      ->required();

  // The serial server that several stations share, named by
  // "[Options] SerialServer" of the INI file.
  CLI::App* server = app.add_subcommand(
      "server", "Set up the serial server named by [Options] SerialServer of the INI file");
  server->require_subcommand(1);
  server->fallthrough();
  CLI::App* serverInit = server->add_subcommand(
      "init", "Create the tables of the serial pools; run by the schema's owner, again harmless");
  std::optional<std::string> stationRole;
  serverInit
      ->add_option("--grant-station", stationRole,
                   "Give this existing role exactly the rights a station needs, and no other")
      ->type_name("ROLE");

  std::string poolName;
  std::optional<std::int64_t> poolNext, poolLast;
  // A pool's numbers: a value outside is a usage error, and the help shows
  // the range.
  const CLI::Range kSerialRange(std::int64_t{0}, std::int64_t{INT32_MAX});
  CLI::App* pool = app.add_subcommand(
      "pool", "Read and change the serial server's pools, which profiles draw numbers from");
  pool->require_subcommand(1);
  pool->fallthrough();
  CLI::App* poolList = pool->add_subcommand("list", "List the pools: name, next and last number");
  poolList->add_flag("--json", json, "Print JSON");
  CLI::App* poolShow = pool->add_subcommand("show", "Print one pool");
  poolShow->add_option("NAME", poolName, "The pool's name")->required();
  poolShow->add_flag("--json", json, "Print JSON");
  CLI::App* poolCreate = pool->add_subcommand("create", "Make a pool");
  poolCreate->add_option("NAME", poolName, "The pool's name")->required();
  poolCreate->add_option("--next", poolNext, "The first number it hands out")
      ->type_name("N")
      ->check(kSerialRange)
      ->required();
  poolCreate->add_option("--last", poolLast, "The last number it may hand out (default: none)")
      ->type_name("M")
      ->check(kSerialRange);
  CLI::App* poolSet =
      pool->add_subcommand("set", "Move a pool's next number forward, or change its last number");
  poolSet->add_option("NAME", poolName, "The pool's name")->required();
  poolSet->add_option("--next", poolNext, "The next number; never below the pool's next")
      ->type_name("N")
      ->check(kSerialRange);
  poolSet->add_option("--last", poolLast, "The last number it may hand out")
      ->type_name("M")
      ->check(kSerialRange);

  // The help and the version text go out through the checked writer, as
  // everything else on standard output does.
  const auto printed = [&app](const CLI::Error& e) {
    std::ostringstream text;
    const int code = app.exit(e, text);
    return RunReportingErrors([&] {
      WriteOutput(stdout, text.str());
      return code;
    });
  };
  try {
    std::vector<std::string> args =
        NameAfterDoubleDashLast(app, std::vector<std::string>(argv + 1, argv + argc));
    // CLI11 takes the words last first.
    std::reverse(args.begin(), args.end());
    app.parse(args);
  } catch (const CLI::CallForHelp& e) {
    return printed(e);
  } catch (const CLI::CallForAllHelp& e) {
    return printed(e);
  } catch (const CLI::CallForVersion& e) {
    return printed(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  return RunReportingErrors([&]() -> int {
    if (stamp->parsed()) {
      if (ini) throw EUsageError("stamp uses no INI file; --ini is not for it");
      return StampCommand(stampRequest).Run();
    }
    const IniLocation location = ini ? IniLocation{*ini, false} : LocateWindowIniFile("velmorin");
    if (serialize->parsed()) return SerializeCommand(location, serializeRequest).Run();
    if (server->parsed() || pool->parsed()) {
      PoolCommands pools(location, json, stdout);
      if (serverInit->parsed()) return pools.InitServer(stationRole);
      if (poolList->parsed()) return pools.List();
      if (poolShow->parsed()) return pools.Show(poolName);
      if (poolCreate->parsed()) return pools.Create(poolName, *poolNext, poolLast);
      return pools.Set(poolName, poolNext, poolLast);
    }
    ProfileCommands commands(location, json, stdout);
    if (profiles->parsed()) return commands.List();
    if (show->parsed()) return commands.Show(skeleton);
    if (add->parsed()) return commands.Add(skeleton, assignments);
    if (set->parsed()) return commands.Set(skeleton, assignments);
    return commands.Remove(skeleton);
  });
}

}  // namespace

int main(int argc, char** argv) {
  IgnoreBrokenPipes();
  return Run(argc, argv);
}
