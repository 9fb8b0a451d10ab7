#include "cli/SerializeCommand.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "base/Exceptions.h"
#include "cli/ExitCode.h"
#include "cli/JsonText.h"
#include "cli/ProgressLine.h"
#include "cli/SlotReport.h"
#include "cli/StandardOutput.h"
#include "cli/TerminalOperator.h"
#include "cli/UsageError.h"
#include "platform/system/Console.h"
#include "profiles/ProfileKeys.h"
#include "serialize/ProductionLog.h"
#include "serialize/Session.h"
#include "serialize/StoppableBurnerRunner.h"

namespace velmorin::cli {

namespace {

// Raised by Ctrl-C or SIGTERM. The batch looks at it before each number, the
// burner runner while a burner runs, the chip prompt while it waits.
std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
  gStop.store(true);
}

std::string JsonLine(const ProductionEntry& entry) {
  nlohmann::ordered_json line;
  line["serial"] = entry.Serial;
  if (entry.Slot > 0) line["slot"] = entry.Slot;
  line["output"] = entry.OutputFile;
  line["result"] = ProductionLog::FateText(entry.Fate);
  if (entry.ExitCode) {
    line["exit_code"] = *entry.ExitCode;
  } else {
    line["exit_code"] = nullptr;
  }
  line["message"] = entry.Message;
  return JsonText(line) + "\n";
}

// The session's runner with the progress line in front: it names the image
// before its burner starts, and ends the line when the burner's output is to
// follow on the terminal.
class ProgressBurnerRunner : public BurnerRunner {
 public:
  ProgressBurnerRunner(BurnerRunner& runner, ProgressLine& progress)
      : FRunner(runner), FProgress(progress) {}

  BurnOutcome Run(const std::string& commandLine, WindowShow show,
                  const BurnContext& context) override {
    FProgress.Show(context.Image, context.Count, context.Serial, context.Image - 1);
    if (show != WindowShow::Hidden) FProgress.EndLine();
    return FRunner.Run(commandLine, show, context);
  }

 private:
  BurnerRunner& FRunner;
  ProgressLine& FProgress;
};

}  // namespace

void SerializeCommand::Declare(CLI::App& app) {
  FCommand = app.add_subcommand(
      "serialize", "Serialize one image, or a batch, exactly as the window's Serialize 1 does");
  FCommand->add_option("SKELETON", FRequest.Skeleton, "The profile's skeleton file path")
      ->required();
  FCommand->add_option("--count", FRequest.Count, "Serialize a batch of N images")
      ->type_name("N")
      ->check(CLI::Range(1, INT_MAX));
  FCommand->add_flag("--yes", FRequest.Yes,
                     "Answer OK to \"Prepare a chip in the burner, please.\" without asking");
  FCommand->add_flag("--json", FRequest.Json,
                     "Print one JSON object per number taken; the burner's output goes to "
                     "standard error");
  FCommand
      ->add_option("--slots", FRequest.Slots,
                   "Run K burners at once, each taking the next number when its burn ends; "
                   "needs --yes")
      ->type_name("K")
      ->check(CLI::Range(1, SlotBatch::kMaxSlots));
  FCommand
      ->add_option("--slot-values", FRequest.SlotValues,
                   "What $slot becomes in each slot's burner command line (a probe's serial "
                   "number, a port); default: the slot's number 1 to K")
      ->type_name("V1,...,VK")
      ->delimiter(',');
}

void SerializeCommand::CheckSlots(const SerializeRequest& request) {
  if (request.Slots == 0) {
    if (!request.SlotValues.empty()) throw EUsageError("--slot-values needs --slots");
    return;
  }
  // A fixture or a handler loads the sockets, not a person at the prompt.
  if (!request.Yes) throw EUsageError("--slots needs --yes");
  if (!request.SlotValues.empty() &&
      request.SlotValues.size() != static_cast<std::size_t>(request.Slots)) {
    const std::size_t given = request.SlotValues.size();
    throw EUsageError("--slot-values gives " + std::to_string(given) +
                      (given == 1 ? " value" : " values") + " for " +
                      std::to_string(request.Slots) + " slots");
  }
  for (const std::string& value : request.SlotValues) {
    if (value.empty()) throw EUsageError("--slot-values holds an empty value");
  }
}

int SerializeCommand::Run(const CommandContext& context) {
  CheckSlots(FRequest);
  CatchStopSignals(&OnStopSignal);
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> jsonFile(
      FRequest.Json ? SetAsideStandardOutput() : nullptr, &std::fclose);
  std::FILE* const json = jsonFile.get();

  TerminalOperator op(FRequest.Yes, gStop);
  ProgressLine progress;
  // A question starts on a line of its own.
  op.SetBeforeQuestion([&progress] { progress.EndLine(); });
  Session session(context.Location(), op);
  // The profile asked for, not the window's last selection, is the one to
  // load; its load refuses what the window's would.
  session.Open(Session::Start::Nothing);
  if (!session.LoadProfile(FRequest.Skeleton)) {
    throw Exception("There is no profile for " + FRequest.Skeleton + " in " +
                    session.IniFileName());
  }
  // Nobody could answer the chip prompt: refused before a number is taken.
  if (!session.Profile().Settings().DontBurn && !FRequest.Yes && !IsTerminal(0)) {
    throw EUsageError("The profile burns and there is no terminal to ask for a chip; give --yes");
  }

  StoppableBurnerRunner stoppable(gStop);
  ProgressBurnerRunner runner(stoppable, progress);
  session.SetBurnerRunner(runner);
  session.SetStopFlag(&gStop);

  const int count = FRequest.Count > 0 ? FRequest.Count : 1;
  std::optional<SlotReport> slotReport;
  if (FRequest.Slots > 0) slotReport.emplace(FRequest.Slots, count, progress);
  int image = 0;
  std::optional<SerialFate> lastFate;
  // A JSON line that could not be written (a reader that closed the pipe):
  // the number it tells of ends as it would, and no further one is taken.
  std::optional<std::string> lostLine;
  session.SetSerialObserver([&](const ProductionEntry& entry) {
    ++image;
    lastFate = entry.Fate;
    if (slotReport) {
      slotReport->ImageEnded(entry.Fate == SerialFate::Ok);
    } else {
      progress.Show(image, count, entry.Serial, entry.Fate == SerialFate::Ok ? image : image - 1);
    }
    if (json != nullptr && !lostLine) {
      if (const auto failure = TryWriteOutput(json, JsonLine(entry))) {
        lostLine = "Unable to write the JSON line of serial " + std::to_string(entry.Serial) +
                   " to standard output: " + *failure + "; no number was taken after it";
        session.RequestStop();
      }
    }
  });

  bool done = false;
  try {
    if (slotReport) {
      SlotPlan plan;
      plan.Count = count;
      // Without --slot-values each slot's value is its number.
      plan.Values = FRequest.SlotValues;
      for (int slot = 1; FRequest.SlotValues.empty() && slot <= FRequest.Slots; ++slot) {
        plan.Values.push_back(std::to_string(slot));
      }
      done = session.SerializeInSlots(plan, gStop, *slotReport).Finished();
    } else if (FRequest.Count > 0) {
      done = session.SerializeBatch(FRequest.Count).Finished();
    } else {
      done = session.SerializeOne();
    }
  } catch (...) {
    progress.EndLine();
    throw;
  }
  progress.EndLine();

  // A line lost is no success, even for an image that was done.
  if (lostLine) throw Exception(*lostLine);
  // Nor is a command that Ctrl-C stopped, even when the stop came while the
  // last image (or the only one) was under way and it was done all the same:
  // the operator asked for it to end early and must see that it did.
  if (gStop.load()) return kExitStopped;
  if (done) return kExitDone;
  // An error box of the road ("Skeleton file not found.") is an error.
  if (op.LastError()) throw Exception(*op.LastError());
  return lastFate ? kExitNotDone : kExitError;
}

}  // namespace velmorin::cli
