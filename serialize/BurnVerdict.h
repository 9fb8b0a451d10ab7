// Whether a burn is done, and if not, why: the burner's exit code (or its
// failure to start), what its output said (BurnerOutputJudge) and whether
// its time limit stopped it, weighed by the profile's BurnerJudgement. The
// message is the one the production record, the JSON line, the serial
// server's row and the window's box show for a failed burn. Pure: the runner
// that watched the burner gathers the facts, so the window's runner, the
// command line's and the tests weigh them alike. An Abort by the operator is
// no verdict of the burner's and is told apart before this is asked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/process/ExecAndWait.h"
#include "profiles/BurnerJudgement.h"
#include "serialize/BurnerOutputJudge.h"

namespace velmorin {

// What became of one run of the burner, as its runner saw it.
struct BurnFacts {
  bool Started = false;
  std::uint32_t ExitCode = kExecFailed;  // 0 is success; meaningless after a stop
  // The profile's time limit ran out and the burner was stopped (only ever
  // under a BurnerTimeout of 1 or more).
  bool TimedOut = false;
};

// Why a burn failed, in the order the reasons are weighed: when several
// apply, the first one is the burn's.
enum class BurnReason {
  None,       // the burn is done
  TimeLimit,  // stopped at its limit: its exit code is ours, its output cut short
  FailText,   // a line matched BurnerFailText, whatever the exit code said
  ExitCode,   // not started, or an exit code other than 0
  NoOkText,   // exit code 0, yet no line matched BurnerOkText
};

struct BurnVerdict {
  bool Done = false;
  BurnReason Reason = BurnReason::ExitCode;
  // Why, for the record: empty when done, and for an exit code (which the
  // record has a column of its own for) as it has always been.
  std::string Message;
};

// `output` must have been fed the whole output and finished.
BurnVerdict JudgeBurn(const BurnFacts& facts, const BurnerOutputJudge& output,
                      const BurnerJudgement& judgement);

// The message of an image whose burner ran `attempts` times, the last run's
// message being `last`: "3 attempts; <last>" ("3 attempts" when the last
// run has nothing to say); `last` alone after one attempt.
std::string AttemptsMessage(int attempts, std::string_view last);

}  // namespace velmorin
