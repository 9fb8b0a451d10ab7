// How the serializer runs the burner. The default runs it with ExecAndWait and
// blocks until it ends; the window may supply its own runner (to watch the
// burner or offer a way to stop it), keeping the same contract: a command line
// and a visibility value in, the 32-bit result out (0 is success).
#pragma once

#include <cstdint>
#include <string>

#include "platform/process/ExecAndWait.h"

namespace velmorin {

// Which image the burner is about to receive, for a runner that tells the
// operator (or a record) where the command stands.
struct BurnContext {
  int Image = 1;  // 1-based position in the batch
  int Count = 0;  // 0 for "Serialize 1", else the batch's size
  std::int32_t Serial = 0;

  friend bool operator==(const BurnContext&, const BurnContext&) = default;
};

// What became of one burn. An Abort by the operator is told apart from a
// burner that failed or could not be started.
struct BurnOutcome {
  std::uint32_t ExitCode = kExecFailed;  // 0 is success
  bool Started = false;
  bool Aborted = false;

  bool Succeeded() const { return Started && !Aborted && ExitCode == 0; }
};

class BurnerRunner {
 public:
  virtual ~BurnerRunner() = default;
  virtual BurnOutcome Run(const std::string& commandLine, WindowShow show,
                          const BurnContext& context) = 0;
};

class ExecBurnerRunner : public BurnerRunner, private ProcessObserver {
 public:
  // `observer`, when given, is told when the burner starts and ends.
  explicit ExecBurnerRunner(ProcessObserver* observer = nullptr) : FObserver(observer) {}
  BurnOutcome Run(const std::string& commandLine, WindowShow show, const BurnContext&) override {
    FStarted = false;
    BurnOutcome outcome;
    outcome.ExitCode = ExecAndWait(commandLine, show, this);
    outcome.Started = FStarted;
    return outcome;
  }

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
