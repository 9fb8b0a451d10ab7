#include "cli/CliApp.h"

#include <algorithm>
#include <functional>
#include <sstream>

#include "Version.h"
#include "cli/ChecksumCommand.h"
#include "cli/ErrorExit.h"
#include "cli/ExitCode.h"
#include "cli/PoolCommands.h"
#include "cli/ProfileCommands.h"
#include "cli/SerializeCommand.h"
#include "cli/StampCommand.h"
#include "cli/StandardOutput.h"

namespace velmorin::cli {

namespace {

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0    every image done (or the command did what it was asked)\n"
    "  1    an error; its text follows \"velmorin-cli: \" on standard error (also a serial\n"
    "       number refused before it was taken: Next SN stays and nothing is written; and\n"
    "       checksum --at when the file holds another value)\n"
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

}  // namespace

IniLocation CommandContext::Location() const {
  return Ini ? IniLocation{*Ini, false} : LocateWindowIniFile("velmorin");
}

CliApp::CliApp()
    : FApp(std::make_unique<CLI::App>(
          "Velmorin on the command line: the profiles, stamping and serialization of Intel HEX "
          "images, with the window's INI file and lock.",
          "velmorin-cli")) {
  FApp->set_version_flag("--version", std::string("velmorin-cli ") + version::kFileVersion);
  FApp->footer(kExitCodes);
  FApp->require_subcommand(1);
  // Options of the program (--ini) may also follow the command.
  FApp->fallthrough();
  FApp->failure_message([](const CLI::App*, const CLI::Error& e) {
    return std::string("velmorin-cli: ") + e.what() + "\nRun with --help for more information.\n";
  });
  FApp->add_option("--ini", FIni, kIniHelp)->type_name("FILE");
}

CliApp::~CliApp() = default;

void CliApp::Register(std::unique_ptr<Command> command) {
  command->Declare(*FApp);
  FCommands.push_back(std::move(command));
}

void CliApp::RegisterStandardCommands() {
  Register(std::make_unique<ProfilesCommand>());
  Register(std::make_unique<ShowCommand>());
  Register(std::make_unique<AddCommand>());
  Register(std::make_unique<SetCommand>());
  Register(std::make_unique<RemoveCommand>());
  Register(std::make_unique<SerializeCommand>());
  Register(std::make_unique<StampCommand>());
  Register(std::make_unique<ChecksumCommand>());
  Register(std::make_unique<ServerCommand>());
  Register(std::make_unique<PoolCommand>());
}

int CliApp::Run(int argc, const char* const* argv, std::FILE* out) {
  // The help and the version text go out through the checked writer, as
  // everything else on standard output does.
  const auto printed = [&](const CLI::Error& e) {
    std::ostringstream text;
    const int code = FApp->exit(e, text);
    return RunReportingErrors([&] {
      WriteOutput(out, text.str());
      return code;
    });
  };
  try {
    std::vector<std::string> args =
        NameAfterDoubleDashLast(*FApp, std::vector<std::string>(argv + 1, argv + argc));
    // CLI11 takes the words last first.
    std::reverse(args.begin(), args.end());
    FApp->parse(args);
  } catch (const CLI::CallForHelp& e) {
    return printed(e);
  } catch (const CLI::CallForAllHelp& e) {
    return printed(e);
  } catch (const CLI::CallForVersion& e) {
    return printed(e);
  } catch (const CLI::ParseError& e) {
    FApp->exit(e);
    return kExitUsage;
  }
  CommandContext context;
  context.Ini = FIni;
  context.Out = out;
  return RunReportingErrors([&]() -> int {
    for (const auto& command : FCommands) {
      if (command->Parsed()) return command->Run(context);
    }
    return kExitUsage;  // CLI11 requires a command; none is left unparsed
  });
}

int CliApp::Run(const std::vector<std::string>& arguments, std::FILE* out) {
  std::vector<const char*> argv{"velmorin-cli"};
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  return Run(static_cast<int>(argv.size()), argv.data(), out);
}

}  // namespace velmorin::cli
