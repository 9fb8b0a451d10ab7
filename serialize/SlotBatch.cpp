#include "serialize/SlotBatch.h"

#include <exception>
#include <memory>
#include <optional>

#include "platform/process/ProcessTreeStopper.h"
#include "platform/process/WatchedProcess.h"
#include "serialize/BurnerCommand.h"
#include "serialize/Messages.h"

namespace velmorin {

struct SlotBatch::Slot {
  int Number = 0;  // 1 to K
  std::string Value;
  SlotState State = SlotState::Waiting;
  std::int32_t Serial = 0;  // the number of its image, from its take on
  std::optional<Serializer::ImageUnderWay> Image;
  std::unique_ptr<WatchedProcess> Process;
  std::optional<ProcessTreeStopper> Stopper;

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
      if (slot.Process) watched.push_back(slot.Process.get());
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
  if (settings.DontBurn) {
    EndImage(slot, SerialFate::Ok, std::nullopt);
    return;
  }
  // The chip prompt, as every burn has it: a fixture's --yes answers it.
  if (FOperator.ShowMessageBox(message::kPrepareChip, BoxKind::Confirm,
                               box_button::OK | box_button::Cancel) != mrOk) {
    EndImage(slot, SerialFate::Cancelled, std::nullopt);
    return;
  }
  // A stop already asked for keeps the burner from starting at all.
  if (FAbort.load()) {
    EndImage(slot, SerialFate::Aborted, std::nullopt);
    return;
  }
  const std::string commandLine = BuildBurnerCommandLine(
      settings.BurnerCmdLine, BurnerPathOf(slot.Image->OutputPath), slot.Value);
  slot.Stopper.reset();
  slot.Process = std::make_unique<WatchedProcess>(TreeKeeper::OwnReaper);
  if (!slot.Process->Start(commandLine,
                           settings.HideBurner ? ChildOutput::Discard : ChildOutput::Pipe)) {
    EndImage(slot, SerialFate::BurnerFailed, std::nullopt);
    return;
  }
  slot.State = SlotState::Burning;
  Show(slot);
}

void SlotBatch::Advance(Slot& slot, bool aborting) {
  if (!slot.Busy() || !slot.Process) return;
  ReadOutput(slot);
  if (aborting && !slot.Stopper) {
    slot.Stopper.emplace(*slot.Process);
    slot.Stopper->Begin();
    slot.State = SlotState::Stopping;
    Show(slot);
  }
  if (slot.Stopper) {
    if (!slot.Stopper->Advance()) return;
    ReadOutput(slot);
    // Whatever the burner made of its signal, it was stopped.
    EndImage(slot, SerialFate::Aborted, kExecFailed);
    return;
  }
  if (!slot.Process->Poll()) return;
  // Everything the burner wrote is in the pipe by now; what a child it left
  // running writes later is no longer this image's.
  ReadOutput(slot);
  BurnEnded(slot, slot.Process->Result());
}

void SlotBatch::BurnEnded(Slot& slot, std::uint32_t exitCode) {
  EndImage(slot, exitCode == 0 ? SerialFate::Ok : SerialFate::BurnerFailed, exitCode);
}

void SlotBatch::ReadOutput(Slot& slot) {
  if (!slot.Process || !slot.Process->HasOutput()) return;
  FChunk.resize(kReadChunk);
  for (;;) {
    const std::ptrdiff_t got = slot.Process->ReadOutput(FChunk.data(), FChunk.size());
    if (got <= 0) return;
    FObserver.BurnerOutput(slot.Number,
                           std::string_view(FChunk.data(), static_cast<std::size_t>(got)));
  }
}

void SlotBatch::EndImage(Slot& slot, SerialFate fate, std::optional<std::uint32_t> exitCode) {
  if (slot.Process) {
    slot.Process->CloseOutput();
    FObserver.BurnerEnded(slot.Number);
  }
  // A burn not done may be the probe's or the socket's fault: the slot takes
  // no further number. The image ends first, whatever its record makes of it.
  slot.State = fate == SerialFate::Ok ? SlotState::Waiting : SlotState::Stopped;
  if (fate == SerialFate::Ok) ++FDone;
  std::optional<Serializer::ImageUnderWay> image = std::move(slot.Image);
  slot.Image.reset();
  slot.Serial = 0;
  slot.Stopper.reset();
  slot.Process.reset();
  Show(slot);
  FSerializer.EndImage(*image, fate, exitCode);
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
