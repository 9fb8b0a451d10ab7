#include "serialize/BurnVerdict.h"

#include <utility>

namespace velmorin {

namespace {

BurnVerdict Failed(BurnReason reason, std::string message) {
  BurnVerdict verdict;
  verdict.Reason = reason;
  verdict.Message = std::move(message);
  return verdict;
}

}  // namespace

// The order: a burner stopped at its time limit neither ended by itself nor
// finished its say, so its exit code and its missing ok line tell nothing,
// and the hang is what the operator must see to. A fail line is the
// burner's own word on what went wrong, which an exit code (kept in a column
// of its own) only says as a number; and a burner that exits non-zero is
// rarely one that printed its ok line, so "no line matching" would only hide
// the burner's own verdict.
BurnVerdict JudgeBurn(const BurnFacts& facts, const BurnerOutputJudge& output,
                      const BurnerJudgement& judgement) {
  if (facts.TimedOut) {
    return Failed(BurnReason::TimeLimit, "The burner took longer than " +
                                             std::to_string(judgement.Timeout.value_or(0)) +
                                             " s and was stopped.");
  }
  if (judgement.FailText && output.FailTextMatched()) {
    return Failed(
        BurnReason::FailText,
        "The burner's output matched \"" + judgement.FailText->Text() + "\": " + output.FailLine());
  }
  if (!facts.Started || facts.ExitCode != 0) return Failed(BurnReason::ExitCode, {});
  if (judgement.OkText && !output.OkTextMatched()) {
    return Failed(BurnReason::NoOkText,
                  "The burner's output had no line matching \"" + judgement.OkText->Text() + "\".");
  }
  BurnVerdict done;
  done.Done = true;
  done.Reason = BurnReason::None;
  return done;
}

std::string AttemptsMessage(int attempts, std::string_view last) {
  if (attempts <= 1) return std::string(last);
  std::string message = std::to_string(attempts) + " attempts";
  if (!last.empty()) {
    message += "; ";
    message += last;
  }
  return message;
}

}  // namespace velmorin
