#include "serialize/SlotBatch.h"

#include <exception>
#include <memory>
#include <optional>

#include "serialize/BurnAttempts.h"
#include "serialize/BurnWatch.h"
#include "serialize/BurnerCommand.h"
#include "serialize/Messages.h"

namespace velmorin {

struct SlotBatch::Slot {
  int Number = 0;  // 1 to K
  std::string Value;
  SlotState State = SlotState::Waiting;
  std::int32_t Serial = 0;  // the number of its image, from its take on
  std::optional<Serializer::ImageUnderWay> Image;
  // The runs of its image's burner, and the one under way.
  BurnRequest Request;
  std::unique_ptr<BurnAttempts> Attempts;
  std::unique_ptr<BurnWatch> Watch;

  bool Busy() const { return Image.has_value(); }
  // Free to take the next number.
  bool Idle() const { return !Busy() && State != SlotState::Stopped && State != SlotState::Done; }
};

SlotBatch::SlotBatch(Serializer& serializer, Operator& op, const std::atomic<bool>& abort,
                     SlotObserver& observer)
    : FSerializer(serializer), FOperator(op), FAbort(abort), FObserver(observer) {}

SlotBatch::~SlotBatch() = default;

BatchOutcome SlotBatch::Run(const SlotPlan& plan) {
  BatchOutcome outcome;
  outcome.Requested = plan.Count;
  FSlots.clear();
  FSlots.resize(plan.Values.size());
  FDone = 0;
  for (std::size_t i = 0; i < FSlots.size(); ++i) {
    FSlots[i].Number = static_cast<int>(i + 1);
    FSlots[i].Value = plan.Values[i];
    Show(FSlots[i]);
  }
  std::int32_t taken = 0;
  bool noMore = false;
  std::exception_ptr failure;
  const auto keep = [&failure] {
    if (!failure) failure = std::current_exception();
  };
  std::vector<const WatchedProcess*> watched;
  for (;;) {
    const bool aborting = FAbort.load();
    for (Slot& slot : FSlots) {
      try {
        Advance(slot, aborting);
      } catch (...) {
        keep();
      }
    }
    // Each free slot in turn takes the next number.
    noMore = noMore || aborting || failure || taken >= plan.Count || FSerializer.StopRequested();
    for (Slot& slot : FSlots) {
      if (!slot.Idle()) continue;
      noMore = noMore || FAbort.load() || failure || FSerializer.StopRequested();
      if (noMore) {
        slot.State = SlotState::Done;
        Show(slot);
        continue;
      }
      try {
        if (!TakeNext(slot)) {
          noMore = true;  // no skeleton file: "Skeleton file not found." was shown
          continue;
        }
        ++taken;
        noMore = taken >= plan.Count;
        // An image that needs no burner, or whose burner can't start, ends here.
        StartBurner(slot);
      } catch (...) {
        keep();
      }
    }
    watched.clear();
    for (const Slot& slot : FSlots) {
      if (slot.Watch) watched.push_back(&slot.Watch->Process());
    }
    if (!AnyBusy()) {
      bool anyIdle = false;
      for (const Slot& slot : FSlots) anyIdle = anyIdle || slot.Idle();
      if (!anyIdle) break;
    } else {
      WatchedProcess::WaitForAny(watched, kPollInterval);
    }
  }
  if (failure) std::rethrow_exception(failure);
  outcome.Completed = FDone;
  outcome.Stopped = taken < plan.Count && (FAbort.load() || FSerializer.StopRequested());
  if (outcome.Finished()) {
    FOperator.ShowMessageBox(message::ImagesSerialized(plan.Count), BoxKind::Information,
                             box_button::OK);
  }
  return outcome;
}

bool SlotBatch::TakeNext(Slot& slot) {
  slot.State = SlotState::Saving;
  try {
    slot.Image = FSerializer.BeginImage(slot.Number, [&](std::int32_t serial) {
      slot.Serial = serial;
      Show(slot);
    });
  } catch (...) {
    // The image ended with its error; the batch takes no further number.
    slot.State = SlotState::Done;
    slot.Serial = 0;
    Show(slot);
    throw;
  }
  if (!slot.Image) {
    slot.State = SlotState::Done;
    Show(slot);
    return false;
  }
  return true;
}

void SlotBatch::StartBurner(Slot& slot) {
  const ProfileSettings& settings = slot.Image->Settings.Settings;
  const BurnerJudgement& judgement = slot.Image->Settings.Optional.Get<BurnerJudgement>();
  // A profile that judges its burns counts the runs, none here.
  const std::optional<int> noRuns = judgement.Any() ? std::optional<int>(0) : std::nullopt;
  if (settings.DontBurn) {
    EndImage(slot, SerialFate::Ok, std::nullopt, {}, noRuns);
    return;
  }
  // The chip prompt, as every burn has it: a fixture's --yes answers it.
  if (FOperator.ShowMessageBox(message::kPrepareChip, BoxKind::Confirm,
                               box_button::OK | box_button::Cancel) != mrOk) {
    EndImage(slot, SerialFate::Cancelled, std::nullopt, {}, noRuns);
    return;
  }
  // A stop already asked for keeps the burner from starting at all.
  if (FAbort.load()) {
    EndImage(slot, SerialFate::Aborted, std::nullopt, {}, noRuns);
    return;
  }
  slot.Request = BurnRequest();
  slot.Request.CommandLine = BuildBurnerCommandLine(
      settings.BurnerCmdLine, BurnerPathOf(slot.Image->OutputPath), slot.Value);
  slot.Request.Show = settings.HideBurner ? WindowShow::Hidden : WindowShow::Normal;
  slot.Request.Context.Serial = slot.Image->Serial;
  // The image's own snapshot, which lives as long as the image is under way.
  slot.Attempts = std::make_unique<BurnAttempts>(judgement);
  StartRun(slot);
}

void SlotBatch::StartRun(Slot& slot) {
  slot.Attempts->Prepare(slot.Request);
  const int number = slot.Number;
  slot.Watch = std::make_unique<BurnWatch>(
      slot.Request, ChildOutput::Pipe,
      [this, number](ChildStream stream, std::string_view bytes) {
        FObserver.BurnerOutput(number, stream, bytes);
      },
      TreeKeeper::OwnReaper);
  if (!slot.Watch->Start()) {
    RunEnded(slot);
    return;
  }
  slot.State = SlotState::Burning;
  Show(slot);
}

void SlotBatch::Advance(Slot& slot, bool aborting) {
  if (!slot.Busy() || !slot.Watch) return;
  if (aborting) slot.Watch->Abort();
  const bool over = slot.Watch->Step();
  // Abort, or the time limit.
  if (!over && slot.Watch->Stopping() && slot.State != SlotState::Stopping) {
    slot.State = SlotState::Stopping;
    Show(slot);
  }
  // Everything the burner wrote is read by now; what a child it left running
  // writes later is no longer this image's.
  if (over) RunEnded(slot);
}

void SlotBatch::RunEnded(Slot& slot) {
  const BurnOutcome outcome = slot.Watch->Outcome();
  if (slot.Watch->Started()) FObserver.BurnerEnded(slot.Number);
  slot.Watch.reset();
  BurnAttempts& attempts = *slot.Attempts;
  // A retry burns the same file in the same slot, nothing asked: the chip is
  // still in its socket.
  if (attempts.Weigh(outcome, FAbort.load() || FSerializer.StopRequested())) {
    StartRun(slot);
    return;
  }
  SerialFate fate = SerialFate::BurnerFailed;
  if (attempts.Aborted()) {
    fate = SerialFate::Aborted;
  } else if (attempts.Done()) {
    fate = SerialFate::Ok;
  }
  std::optional<std::uint32_t> exitCode;
  if (outcome.Started) exitCode = outcome.ExitCode;
  const std::string reason = attempts.Reason();
  EndImage(slot, fate, exitCode, attempts.Message(), attempts.Attempts());
  // Once the record holds it, the operator learns why, as of a single burn.
  if (!reason.empty()) FOperator.ShowMessageBox(reason, BoxKind::Error, box_button::OK);
}

void SlotBatch::EndImage(Slot& slot, SerialFate fate, std::optional<std::uint32_t> exitCode,
                         std::string message, std::optional<int> attempts) {
  // A burn not done may be the probe's or the socket's fault: the slot takes
  // no further number. The image ends first, whatever its record makes of it.
  slot.State = fate == SerialFate::Ok ? SlotState::Waiting : SlotState::Stopped;
  if (fate == SerialFate::Ok) ++FDone;
  std::optional<Serializer::ImageUnderWay> image = std::move(slot.Image);
  slot.Image.reset();
  slot.Serial = 0;
  slot.Watch.reset();
  slot.Attempts.reset();
  Show(slot);
  FSerializer.EndImage(*image, fate, exitCode, std::move(message), std::move(attempts));
}

void SlotBatch::Show(const Slot& slot) {
  const bool working = slot.State == SlotState::Saving || slot.State == SlotState::Burning ||
                       slot.State == SlotState::Stopping;
  FObserver.SlotShown(slot.Number, slot.State, working ? slot.Serial : 0);
}

bool SlotBatch::AnyBusy() const {
  for (const Slot& slot : FSlots) {
    if (slot.Busy()) return true;
  }
  return false;
}

}  // namespace velmorin
