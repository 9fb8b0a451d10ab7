// Several burners at once from one station (serialize --slots): K slots,
// each a burner of its own (a probe, a socket of a fixture). Each slot in
// turn takes the next number, stamps it, saves the image durably and starts
// its burner, then, once its burn has ended, takes the next; numbers come
// through the one serializer (the same counter or pool, and the same lock),
// so each goes to exactly one slot, once, and up to K burns run at once.
//
// A slot whose burn is not done stops taking numbers, since its probe or
// socket may be at fault; the others go on until the batch's count of
// numbers is taken or every slot has stopped. A stop asked of the serializer
// (a JSON line that could not be written) takes no further number and lets
// the burns under way end; the abort flag (Ctrl-C) stops every burner with
// everything it started, as Abort does, and each image under way ends as
// aborted. An error of a step (the record, the server, a disk) takes no
// further number either: the burns under way end as they will, and the
// first error passes on once they have.
//
// One thread drives it all: the take, the stamping and the saving of one
// image at a time, and between them a poll of every burner (its output, its
// end), each behind a reaper of its own (TreeKeeper::OwnReaper) so that a
// stop of one slot reaches its tree and no other.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "serialize/Operator.h"
#include "serialize/Serializer.h"

namespace velmorin {

struct SlotPlan {
  // The numbers to hand out in all.
  std::int32_t Count = 0;
  // What "$slot" becomes in each slot's command line; as many as there are
  // slots (1 to SlotBatch::kMaxSlots).
  std::vector<std::string> Values;
};

enum class SlotState {
  Waiting,   // no number taken yet
  Saving,    // a number taken: the image is stamped and saved
  Burning,   // its burner runs
  Stopping,  // its burner is being stopped
  Stopped,   // a burn was not done: it takes no further number
  Done,      // nothing left for it to do
};

// Told what the slots do, on the thread that runs the batch.
class SlotObserver {
 public:
  virtual ~SlotObserver() = default;
  // Slot `slot` (1 to K) is in `state`; `serial` is its image's number while
  // it has one (Saving, Burning, Stopping), else 0.
  virtual void SlotShown(int slot, SlotState state, std::int32_t serial) = 0;
  // What the slot's burner wrote, as it came (cut anywhere), unless "Hide".
  virtual void BurnerOutput(int slot, std::string_view text) = 0;
  // The slot's burner has ended and its output is read: a last line without
  // a line end is complete.
  virtual void BurnerEnded(int slot) = 0;
};

class SlotBatch {
 public:
  static constexpr int kMaxSlots = 64;
  // The longest wait between two polls of the burners.
  static constexpr std::chrono::milliseconds kPollInterval{10};
  // The most read from one burner's output at a time.
  static constexpr std::size_t kReadChunk = 64 * 1024;

  // Everything must outlive the batch; `abort` is only read.
  SlotBatch(Serializer& serializer, Operator& op, const std::atomic<bool>& abort,
            SlotObserver& observer);
  ~SlotBatch();
  SlotBatch(const SlotBatch&) = delete;
  SlotBatch& operator=(const SlotBatch&) = delete;

  // Runs the batch to its end. Completed counts the images done; Stopped
  // says a stop came before every number was taken. "<count> images
  // serialized OK." when all are done, as a batch of one burner shows it.
  BatchOutcome Run(const SlotPlan& plan);

 private:
  struct Slot;

  // Takes the slot's next number and begins its image; false when none was
  // taken (the skeleton file is missing).
  bool TakeNext(Slot& slot);
  void StartBurner(Slot& slot);
  // One look at a burning slot: its output, its end, a stop.
  void Advance(Slot& slot, bool aborting);
  void ReadOutput(Slot& slot);
  // The one place where a burn that ran to its end (not stopped) is judged:
  // the image ends done or failed, and a failed one stops its slot.
  void BurnEnded(Slot& slot, std::uint32_t exitCode);
  void EndImage(Slot& slot, SerialFate fate, std::optional<std::uint32_t> exitCode);
  void Show(const Slot& slot);
  bool AnyBusy() const;

  Serializer& FSerializer;
  Operator& FOperator;
  const std::atomic<bool>& FAbort;
  SlotObserver& FObserver;
  std::vector<Slot> FSlots;
  std::int32_t FDone = 0;  // images done in this run
  std::string FChunk;      // room for one read of a burner's output
};

}  // namespace velmorin
