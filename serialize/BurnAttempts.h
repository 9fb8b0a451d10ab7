// The runs of the burner for one image, as the profile's BurnerJudgement
// asks for them: each run gets a judge of its own and its place among the
// attempts, each outcome is weighed (BurnVerdict), and a failed run is
// followed by another on the same file until the burn is done or
// BurnerRetries are used up. What it does not do is run the burner: the
// serializer's runner blocks on each run, a runner of several burners at
// once steps one BurnWatch per burner, and both weigh the runs here alike.
#pragma once

#include <optional>
#include <string>

#include "profiles/BurnerJudgement.h"
#include "serialize/BurnVerdict.h"
#include "serialize/BurnerOutputJudge.h"
#include "serialize/BurnerRunner.h"

namespace velmorin {

class BurnAttempts {
 public:
  // `judgement` must outlive this.
  explicit BurnAttempts(const BurnerJudgement& judgement) : FJudgement(judgement) {}
  BurnAttempts(const BurnAttempts&) = delete;
  BurnAttempts& operator=(const BurnAttempts&) = delete;

  // Readies `request` for the next run: which attempt it is, of how many at
  // most, its time limit, and a fresh judge (what one run said tells
  // nothing of the next), valid until the next call.
  void Prepare(BurnRequest& request);
  // Weighs the run just made; true when the burner is to run again: the run
  // failed, retries are left, and neither an Abort ended it nor was a stop
  // asked for (`stopAsked`: Ctrl-C, the window closing).
  bool Weigh(const BurnOutcome& outcome, bool stopAsked);

  int Runs() const { return FRuns; }
  // The operator's Abort (or Ctrl-C) ended the last run.
  bool Aborted() const { return FAborted; }
  bool Done() const { return !FAborted && FVerdict.Done; }
  // The record's message: how many runs there were, after the first, and
  // why the last one failed when its exit code does not say it.
  std::string Message() const;
  // What the operator is told in an error box: the message, when the last
  // run failed for a reason its exit code does not give; empty otherwise.
  std::string Reason() const;
  // The runs, for a profile that judges its burns; nothing for one that
  // does not, whose lines say nothing of runs.
  std::optional<int> Attempts() const;

 private:
  const BurnerJudgement& FJudgement;
  std::optional<BurnerOutputJudge> FOutput;
  BurnVerdict FVerdict;
  int FRuns = 0;
  bool FAborted = false;
};

}  // namespace velmorin
