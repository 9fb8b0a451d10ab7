#include "SerializeCommand.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "Exceptions.h"
#include "ExitCode.h"
#include "JsonText.h"
#include "MemoryProfileView.h"
#include "ProductionLog.h"
#include "ProfileKeys.h"
#include "ProgressLine.h"
#include "Session.h"
#include "StandardOutput.h"
#include "StoppableBurnerRunner.h"
#include "TerminalOperator.h"
#include "UsageError.h"

#if VELMORIN_SERIAL_SERVER
#include "ServerSerialSource.h"
#endif

namespace velmorin::cli {

namespace {

// Raised by Ctrl-C or SIGTERM. The batch looks at it before each number, the
// burner runner while a burner runs, the chip prompt while it waits.
std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
  gStop.store(true);
}

void CatchStopSignals() {
#ifdef _WIN32
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
#else
  // No SA_RESTART: a read of the chip prompt's answer must return at once.
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
#endif
}

bool IsTerminal(int fd) {
#ifdef _WIN32
  return ::_isatty(fd) != 0;
#else
  return ::isatty(fd) != 0;
#endif
}

// With --json standard output holds only JSON: the JSON goes to a copy of
// standard output, and standard output itself becomes standard error, so
// that the burner (which inherits ours) writes its output there.
std::FILE* SetAsideStandardOutput() {
  std::fflush(stdout);
#ifdef _WIN32
  const int copy = ::_dup(1);
  if (copy < 0 || ::_dup2(2, 1) != 0) throw Exception("Unable to set standard output aside");
  std::FILE* json = ::_fdopen(copy, "w");
#else
  const int copy = ::dup(1);
  if (copy < 0 || ::dup2(2, 1) < 0) throw Exception("Unable to set standard output aside");
  std::FILE* json = ::fdopen(copy, "w");
#endif
  if (json == nullptr) throw Exception("Unable to set standard output aside");
  return json;
}

std::string JsonLine(const ProductionEntry& entry) {
  nlohmann::ordered_json line;
  line["serial"] = entry.Serial;
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

  BurnOutcome Run(const std::string& commandLine, int show, const BurnContext& context) override {
    FProgress.Show(context.Image, context.Count, context.Serial, context.Image - 1);
    if (show != kShowHide) FProgress.EndLine();
    return FRunner.Run(commandLine, show, context);
  }

 private:
  BurnerRunner& FRunner;
  ProgressLine& FProgress;
};

}  // namespace

int SerializeCommand::Run() {
  CatchStopSignals();
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> jsonFile(
      FRequest.Json ? SetAsideStandardOutput() : nullptr, &std::fclose);
  std::FILE* const json = jsonFile.get();

  MemoryProfileView view;
  TerminalOperator op(FRequest.Yes, gStop);
  ProgressLine progress;
  // A question starts on a line of its own.
  op.SetBeforeQuestion([&progress] { progress.EndLine(); });
  Session session(FLocation.Path, view, op);
#if VELMORIN_SERIAL_SERVER
  // Numbers from the serial server when the INI file names one.
  session.SetSerialSourceConnector(&ConnectSerialServer);
#endif
  // As the window does at start: the per-user folder first, since the lock
  // file lies beside the INI file.
  MakeIniFolder(FLocation);
  try {
    session.Open();
  } catch (const EProfileValueError&) {
    // The window's last selection holds a refused serial number rule. That
    // is no matter here unless it is the profile asked for, whose load
    // below refuses it again.
  }
  if (!session.LoadProfile(FRequest.Skeleton)) {
    throw Exception("There is no profile for " + FRequest.Skeleton + " in " +
                    session.Store().Ini().FileName());
  }
  // Nobody could answer the chip prompt: refused before a number is taken.
  if (!view.settings.DontBurn && !FRequest.Yes && !IsTerminal(0)) {
    throw EUsageError("The profile burns and there is no terminal to ask for a chip; give --yes");
  }

  StoppableBurnerRunner stoppable(gStop);
  ProgressBurnerRunner runner(stoppable, progress);
  session.SetBurnerRunner(runner);
  session.SetStopFlag(&gStop);

  const int count = FRequest.Count > 0 ? FRequest.Count : 1;
  int image = 0;
  std::optional<SerialFate> lastFate;
  // A JSON line that could not be written (a reader that closed the pipe):
  // the number it tells of ends as it would, and no further one is taken.
  std::optional<std::string> lostLine;
  session.SetSerialObserver([&](const ProductionEntry& entry) {
    ++image;
    lastFate = entry.Fate;
    progress.Show(image, count, entry.Serial, entry.Fate == SerialFate::Ok ? image : image - 1);
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
    if (FRequest.Count > 0) {
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
