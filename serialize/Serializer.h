// The road of one serialization and the two serialize commands: take the next
// serial number, stamp it into a fresh copy of the skeleton image, save the
// copy under its numbered name and hand it to the burner. Each image is made
// with one snapshot of the working profile, taken when it begins: a change
// made meanwhile (while the chip prompt is open, say) applies from the next
// image on. Next SN is read when the number is taken.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "image/IntelImage.h"
#include "profiles/ProfileStore.h"
#include "profiles/WorkingProfile.h"
#include "serialize/BurnerRunner.h"
#include "serialize/ChecksumStamping.h"
#include "serialize/Operator.h"
#include "serialize/ProductionLog.h"
#include "serialize/SessionObserver.h"

namespace velmorin {

// How a batch ended. A batch that raised tells it by the exception instead.
struct BatchOutcome {
  std::int32_t Requested = 0;  // the count it was given
  std::int32_t Completed = 0;  // images done, in order, before it ended
  bool Stopped = false;        // a stop was asked for before image Completed + 1

  bool Finished() const { return Requested > 0 && Completed == Requested; }
};

class Serializer {
 public:
  // `profile`, `store` and `op` must outlive the serializer.
  Serializer(WorkingProfile& profile, ProfileStore& store, Operator& op);

  // Told of the batch's progress; nullptr: nobody. It must outlive the serializer.
  void SetProgressObserver(SessionObserver* observer) { FProgress = observer; }

  // The number for this image; under "Auto Inc." the Next SN field advances
  // by the profile's step (wrapping at 32 bits) and the profile is stored
  // before this returns. With a serial server and "Auto Inc.", the number is
  // the pool's, taken in a transaction committed before this returns; Next
  // SN then shows the pool's next number, and the profile is stored as its
  // mirror. Refused, before anything is taken, while a failed
  // read of the INI file leaves the window's profile unknown, and with
  // ESeqNumRefused for a slot whose bytes run past 0xFFFFFFFF
  // (RequireSlotsBelowTopAddress), a number beyond the profile's last one or
  // one that does not fit its slot (RequireSeqNumAvailable).
  std::int32_t TakeSeqNum(const ImageSettings& image);
  // Writes the number into `image` at slot 1..4 when that slot is switched
  // on, in the profile's SeqNumFormat. Raises ESeqNumSizeError, before
  // writing anything, for an SN Size above kMaxSeqNumSize.
  void StampSeqNum(const ImageSettings& settings, TObjImage& image, std::int32_t seqNum, int slot);
  // Writes the image under its numbered name; `outputPath` receives the path
  // (left as it was when "Don't save" is checked). The image is not changed,
  // but writing it is no const operation of TObjImage.
  void SaveOutputImage(const ImageSettings& settings, TObjImage& image, std::int32_t seqNum,
                       std::string& outputPath);
  // Unless "Don't burn" is checked, asks for a chip and runs the burner on
  // `outputPath`, judged by the profile's BurnerJudgement: by its output
  // (BurnerFailText, BurnerOkText) and its time limit (BurnerTimeout) as
  // well as its exit code, and run again with the same file, nothing asked,
  // up to BurnerRetries times until it is done (an Abort or a stop ends the
  // retries). True when the image counts as burned.
  bool BurnImage(const ImageSettings& settings, const TObjImage& image,
                 const std::string& outputPath);
  // A new image read from the skeleton file, or nullptr when no file is there.
  std::unique_ptr<TIntelImage> LoadSkelFile(const ImageSettings& settings);

  // Each step alone (a test, a tool), with the working profile as it stands.
  std::int32_t TakeSeqNum() { return TakeSeqNum(FProfile.Snapshot()); }
  void StampSeqNum(TObjImage& image, std::int32_t seqNum, int slot) {
    StampSeqNum(FProfile.Snapshot(), image, seqNum, slot);
  }
  void SaveOutputImage(TObjImage& image, std::int32_t seqNum, std::string& outputPath) {
    SaveOutputImage(FProfile.Snapshot(), image, seqNum, outputPath);
  }
  bool BurnImage(const TObjImage& image, const std::string& outputPath) {
    return BurnImage(FProfile.Snapshot(), image, outputPath);
  }

  // With the production record on, its line for this image is on disk
  // before this returns, on every path after the number was taken; the
  // serial observer hears of the number on those same paths, record or not.
  // It is BeginImage, BurnImage and EndImage.
  // A burn that failed for a reason its exit code does not give (a line of
  // its output, a missing ok line, its time limit) is told in an error box
  // once the record holds it.
  bool SerializeImage();

  // One image between BeginImage and EndImage: what a caller that burns
  // several images at once (SlotBatch) keeps of each while it burns.
  struct ImageUnderWay {
    ImageSettings Settings;  // the snapshot the image was made with
    std::int32_t Serial = 0;
    std::string OutputPath;  // as saved; empty under "Don't save"
    std::optional<ProductionLog> Record;
    // The serial server's pool of the number, while the server has yet to
    // hear how its serialization ended.
    std::optional<std::string> ServerPool;
    int Slot = 0;  // the burner slot it is burned in; 0 for none
  };
  // The first part of the road: reads the skeleton, takes the number, stamps
  // it and saves the image durably. Nothing, with "Skeleton file not found."
  // shown and no number taken, when the skeleton file is not there. A step
  // that raises after the take ends the image (SerialFate::Error, its line
  // in the record) before the error passes on. `slot` goes into the image's
  // entry (ProductionEntry::Slot); `taken`, when given, hears of the number
  // as soon as it is taken, before the image is stamped and saved.
  std::optional<ImageUnderWay> BeginImage(
      int slot = 0, const std::function<void(std::int32_t serial)>& taken = {});
  // The end of the road: the image's line in the record, its end told to the
  // serial server and to the serial observer, with what its burn gave.
  // Raises when the record or the server can't take it (after the observer
  // has heard).
  // `message` and `attempts` are the entry's (ProductionEntry).
  void EndImage(ImageUnderWay& image, SerialFate fate, std::optional<std::uint32_t> exitCode,
                std::string message = {}, std::optional<int> attempts = std::nullopt);

  // The "Serialize 1" command; true when the image is done. False, with
  // nothing taken, when a stop was asked for before it began.
  bool SerializeOne();
  // The "Serialize..." command for `count` images (nothing for a count of 0
  // or less; asking for the count is the front end's business). Stops at the
  // first image that is not done, and before the next number is taken once a
  // stop is asked for; "<count> images serialized OK." when all are done.
  BatchOutcome SerializeBatch(std::int32_t count);

  // Told of every number taken, once its serialization has ended (on every
  // path, also when it raises), with what the production record's line
  // holds. When the record itself can't be written, the entry says so
  // (SerialFate::Error, the record's error in Message). It must not raise.
  using SerialObserver = std::function<void(const ProductionEntry&)>;
  void SetSerialObserver(SerialObserver observer) { FSerialObserver = std::move(observer); }

  // Asks a batch under way to stop before it takes its next number (and
  // SerializeOne not to begin). Safe to
  // call from a signal handler (a lock-free atomic store). The request stays
  // until ClearStop.
  void RequestStop() { FStopRequested.store(true); }
  void ClearStop() { FStopRequested.store(false); }
  // A flag of the owner's that asks for the same (set from a signal handler,
  // say); nullptr: none. It must outlive the serializer.
  void SetStopFlag(const std::atomic<bool>* flag) { FStopFlag = flag; }
  bool StopRequested() const {
    return FStopRequested.load() || (FStopFlag != nullptr && FStopFlag->load());
  }

  // Replaces the way the burner is run (ExecAndWait by default). The runner
  // must outlive the serializer.
  void SetBurnerRunner(BurnerRunner& runner) { FBurner = &runner; }

  // What became of the last burner run (the default outcome before any).
  const BurnOutcome& LastBurn() const { return FLastBurn; }

 private:
  // Hands the entry to the record (when on), to the serial server (when the
  // number is the server's) and to the observer.
  void Report(const std::optional<ProductionLog>& record, ProductionEntry entry);
  std::int32_t TakeFromPool(SerialSource& source, const ImageSettings& image,
                            const SeqNumRules& rules);

  // The full path of an output file, as the record names it.
  static std::string FullOutputPath(const std::string& outputPath);

  WorkingProfile& FProfile;
  ProfileStore& FStore;
  Operator& FOperator;
  SessionObserver* FProgress = nullptr;
  ExecBurnerRunner FDefaultBurner;
  BurnerRunner* FBurner = &FDefaultBurner;
  // Where the command stands, handed to the runner with each burn.
  BurnContext FContext;
  BurnOutcome FLastBurn;
  // How the last BurnImage ended, as the production record tells it.
  SerialFate FBurnFate = SerialFate::Ok;
  std::optional<std::uint32_t> FBurnExitCode;
  std::string FBurnMessage;
  std::optional<int> FBurnAttempts;
  // Why the last burn failed when its exit code does not say it, for the
  // operator's error box; empty otherwise.
  std::string FBurnReason;
  SerialObserver FSerialObserver;
  // The pool of the number under way, while the server has yet to hear how
  // its serialization ended.
  std::optional<std::string> FServerPool;
  // The slot of the image whose number is being taken (BeginImage).
  int FTakingSlot = 0;
  std::atomic<bool> FStopRequested{false};
  const std::atomic<bool>* FStopFlag = nullptr;
  // The checksum regions, checked on the skeleton and stamped; it lives
  // across a batch, whose images differ from the last in a few bytes.
  ChecksumStamper FChecksums;
};

}  // namespace velmorin
