#include "serialize/BurnWatch.h"

#include <array>

#include "platform/system/Console.h"
#include "serialize/BurnerOutputJudge.h"

namespace velmorin {

BurnWatch::BurnWatch(const BurnRequest& request, ChildOutput shown, Forward forward,
                     TreeKeeper keeper)
    : FRequest(request), FShown(shown), FForward(std::move(forward)), FProcess(keeper) {}

bool BurnWatch::Start() {
  if (FProcess.Started() || FFinished) return false;
  const bool hidden = FRequest.Show == WindowShow::Hidden;
  ChildOutput output = hidden ? ChildOutput::Discard : FShown;
  // The judge reads every line, hidden or not, and each stream on its own.
  if (FRequest.Judge != nullptr) output = ChildOutput::SplitPipes;
  if (!FProcess.Start(FRequest.CommandLine, output, FRequest.Show)) {
    FFinished = true;
    if (FRequest.Judge != nullptr) FRequest.Judge->Finish();
    return false;
  }
  if (FRequest.TimeLimit) FDeadline = Clock::now() + *FRequest.TimeLimit;
  return true;
}

int BurnWatch::OutputDescriptor(ChildStream stream) const {
  return FProcess.OutputDescriptor(stream);
}

void BurnWatch::Deliver(ChildStream stream, std::string_view bytes) {
  if (FRequest.Judge != nullptr) FRequest.Judge->Feed(stream, bytes);
  if (FRequest.Show != WindowShow::Hidden && FForward) FForward(stream, bytes);
}

void BurnWatch::ReadOutput() {
  FReadSome = false;
  if (FFinished) return;
  std::array<char, kReadChunk> buffer;
  for (const ChildStream stream : {ChildStream::Output, ChildStream::Error}) {
    for (int i = 0; i < kReadsPerStep; ++i) {
      const std::ptrdiff_t got = FProcess.ReadOutput(stream, buffer.data(), buffer.size());
      if (got <= 0) break;
      FReadSome = true;
      Deliver(stream, std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
  }
}

bool BurnWatch::Step() {
  if (FFinished) return true;
  if (!FProcess.Started()) return false;
  ReadOutput();
  if (!FStopper.Begun()) {
    if (FProcess.Poll()) {
      Finish();
      return true;
    }
    if (!FDeadline || Clock::now() < *FDeadline) return false;
    // The time is up: the burner is stopped as Abort stops it.
    FTimedOut = true;
    FStopper.Begin();
  }
  if (FStopper.Advance()) Finish();
  return FFinished;
}

void BurnWatch::Abort() {
  if (FFinished || !FProcess.Started() || FStopper.Begun()) return;
  FAborted = true;
  FStopper.Begin();
}

void BurnWatch::Finish() {
  FFinished = true;
  FReadSome = false;
  std::array<char, kReadChunk> buffer;
  for (const ChildStream stream : {ChildStream::Output, ChildStream::Error}) {
    std::size_t total = 0;
    while (total < kMaxDrain) {
      const std::ptrdiff_t got = FProcess.ReadOutput(stream, buffer.data(), buffer.size());
      if (got <= 0) break;
      total += static_cast<std::size_t>(got);
      Deliver(stream, std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
  }
  FProcess.CloseOutput();
  if (FRequest.Judge != nullptr) FRequest.Judge->Finish();
}

BurnOutcome BurnWatch::Outcome() const {
  BurnOutcome outcome;
  outcome.Started = FProcess.Started();
  outcome.Aborted = FAborted;
  outcome.TimedOut = FTimedOut;
  // A stopped burn counts as failed whatever the burner made of its signal.
  if (FFinished && !FAborted && !FTimedOut) outcome.ExitCode = FProcess.Result();
  return outcome;
}

void BurnWatch::ToStandardStreams(ChildStream stream, std::string_view bytes) {
  bool failed = false;
  // A terminal or reader that has gone takes no output: the burner's would
  // have gone nowhere too.
  WriteToStream(stream == ChildStream::Error ? stderr : stdout, bytes, failed);
}

}  // namespace velmorin
