// How the serializer runs the burner. The default runs it with ExecAndWait and
// blocks until it ends; the window may supply its own runner (to watch the
// burner or offer a way to stop it), keeping the same contract: a request (the
// command line, the visibility value, and what the profile asks of the burn
// beyond its exit code) in, the outcome out (exit code 0 is success).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/process/ExecAndWait.h"

namespace velmorin {

class BurnerOutputJudge;

// Which image the burner is about to receive, for a runner that tells the
// operator (or a record) where the command stands.
struct BurnContext {
  int Image = 1;  // 1-based position in the batch
  int Count = 0;  // 0 for "Serialize 1", else the batch's size
  std::int32_t Serial = 0;
  // Which run of the burner this is for the image, of how many at most
  // (BurnerRetries): 1 of 1 unless the profile retries.
  int Attempt = 1;
  int MaxAttempts = 1;

  friend bool operator==(const BurnContext&, const BurnContext&) = default;
};

// One run of the burner, as the serializer asks for it.
struct BurnRequest {
  std::string CommandLine;
  WindowShow Show = WindowShow::Normal;
  BurnContext Context;
  // How long the burner may run before it is stopped as Abort stops it
  // (BurnerTimeout); nothing: no limit.
  std::optional<std::chrono::milliseconds> TimeLimit;
  // Fed each line of the burner's standard output and error, and finished
  // when the output ends (BurnerFailText, BurnerOkText); nullptr when no key
  // reads the output. It must outlive the run.
  BurnerOutputJudge* Judge = nullptr;

  // Neither a time limit nor a judge: the burn is run exactly as it always
  // was (the same start, the same output, the same wait).
  bool Plain() const { return !TimeLimit && Judge == nullptr; }
};

// A plain request: `commandLine` shown as `show`, neither a time limit nor a judge.
inline BurnRequest PlainBurn(std::string commandLine, WindowShow show, BurnContext context = {}) {
  BurnRequest request;
  request.CommandLine = std::move(commandLine);
  request.Show = show;
  request.Context = context;
  return request;
}

// What became of one burn. An Abort by the operator and a stop at the time
// limit are told apart from a burner that failed or could not be started.
struct BurnOutcome {
  std::uint32_t ExitCode = kExecFailed;  // 0 is success; kExecFailed after a stop
  bool Started = false;
  bool Aborted = false;
  // Stopped at the request's time limit (never when Aborted).
  bool TimedOut = false;

  bool Succeeded() const { return Started && !Aborted && !TimedOut && ExitCode == 0; }
};

class BurnerRunner {
 public:
  virtual ~BurnerRunner() = default;
  virtual BurnOutcome Run(const BurnRequest& request) = 0;
};

// The default: a plain burn through ExecAndWait, blocking until it ends; one
// with a time limit or a judge through BurnWatch, polled until it ends, its
// output going where ExecAndWait's would (nowhere under "Hide").
class ExecBurnerRunner : public BurnerRunner, private ProcessObserver {
 public:
  // How long the loop of a watched burn waits between two steps that found
  // nothing to read.
  static constexpr std::chrono::milliseconds kPollInterval{10};

  // `observer`, when given, is told when a plain burn's burner starts and ends.
  explicit ExecBurnerRunner(ProcessObserver* observer = nullptr) : FObserver(observer) {}
  BurnOutcome Run(const BurnRequest& request) override;

 private:
  void Started(ProcessId id) override {
    FStarted = true;
    if (FObserver != nullptr) FObserver->Started(id);
  }
  void Finished(std::uint32_t result) override {
    if (FObserver != nullptr) FObserver->Finished(result);
  }

  ProcessObserver* FObserver;
  bool FStarted = false;
};

}  // namespace velmorin
