#include "serialize/BurnAttempts.h"

namespace velmorin {

void BurnAttempts::Prepare(BurnRequest& request) {
  FOutput.emplace(FJudgement);
  request.Judge = FJudgement.ReadsOutput() ? &*FOutput : nullptr;
  request.TimeLimit = FJudgement.TimeLimit();
  request.Context.Attempt = ++FRuns;
  request.Context.MaxAttempts = FJudgement.MaxAttempts();
}

bool BurnAttempts::Weigh(const BurnOutcome& outcome, bool stopAsked) {
  FAborted = outcome.Aborted;
  if (FAborted) {
    FVerdict = {};
    return false;
  }
  FVerdict = JudgeBurn({outcome.Started, outcome.ExitCode, outcome.TimedOut}, *FOutput, FJudgement);
  return !FVerdict.Done && FRuns < FJudgement.MaxAttempts() && !stopAsked;
}

std::string BurnAttempts::Message() const {
  return AttemptsMessage(FRuns, FVerdict.Message);
}

std::string BurnAttempts::Reason() const {
  if (FAborted || FVerdict.Done || FVerdict.Message.empty()) return {};
  return Message();
}

std::optional<int> BurnAttempts::Attempts() const {
  if (!FJudgement.Any()) return std::nullopt;
  return FRuns;
}

}  // namespace velmorin
