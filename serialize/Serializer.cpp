#include "serialize/Serializer.h"

#include <exception>
#include <filesystem>
#include <limits>
#include <optional>

#include "platform/files/FileExists.h"
#include "platform/files/PathNames.h"
#include "serialize/BurnAttempts.h"
#include "serialize/BurnerCommand.h"
#include "serialize/Messages.h"
#include "serialize/SeqNumForm.h"
#include "serialize/SeqNumStamp.h"
#include "serialize/SeqNumTaking.h"

namespace velmorin {

Serializer::Serializer(WorkingProfile& profile, ProfileStore& store, Operator& op)
    : FProfile(profile), FStore(store), FOperator(op) {}

std::int32_t Serializer::TakeSeqNum(const ImageSettings& image) {
  // A window whose profile a failed read left unknown hands out no number.
  FStore.RequireProfileRead();
  const ProfileSettings& settings = image.Settings;
  const SeqNumRules& rules = image.Optional.Get<SeqNumRules>();
  FServerPool.reset();
  // A slot that would wrap past the top of the address space is refused
  // before any source of numbers is asked.
  RequireSlotsBelowTopAddress(settings, rules);
  if (SerialSource* source = FStore.Source(); source != nullptr && settings.AutoIncSeq) {
    return TakeFromPool(*source, image, rules);
  }
  // Next SN as it stands now: the number the operator sees.
  const std::int32_t seqNum = FProfile.NextSeqNum();
  // A number used up or too wide for its slot is refused while it is still
  // unused: Next SN stays, and nothing is written.
  RequireSeqNumAvailable(seqNum, settings, rules);
  if (settings.AutoIncSeq) {
    FProfile.SetNextSeqNum(SeqNumAfter(seqNum, rules));
    FStore.StoreProfile();
  }
  return seqNum;
}

std::int32_t Serializer::TakeFromPool(SerialSource& source, const ImageSettings& image,
                                      const SeqNumRules& rules) {
  // A pool hands out its numbers one after the other.
  if (rules.StepOrDefault() != 1) {
    throw ESeqNumRefused(
        "A profile that draws its serial numbers from a serial server steps by 1, "
        "not by " +
        std::to_string(rules.StepOrDefault()) + " (SeqNumStep).");
  }
  SerialTake take;
  take.Skeleton = image.Skeleton;
  take.Pool = PoolName(rules, take.Skeleton);
  take.Station = StationName();
  take.StationNext = FProfile.NextSeqNum();
  // The profile's own last number and the fit rule, checked inside the
  // transaction: a refused number is rolled back, never taken. The pool
  // itself keeps the last number of all, so the wrap check has no part here.
  ProfileSettings asTaken = image.Settings;
  asTaken.AutoIncSeq = false;
  const std::int32_t seqNum = source.Take(
      take, [&](std::int32_t number) { RequireSeqNumAvailable(number, asTaken, rules); });
  FServerPool = take.Pool;
  const std::int32_t next =
      seqNum == std::numeric_limits<std::int32_t>::max() ? seqNum : seqNum + 1;
  try {
    FStore.FollowPool(take.Pool, next);
    FStore.StoreProfile();
  } catch (const std::exception& error) {
    // The number is the server's now: it ends here, and says why.
    ProductionEntry entry;
    entry.Skeleton = take.Skeleton;
    entry.Serial = seqNum;
    entry.Fate = SerialFate::Error;
    entry.Message = error.what();
    entry.Slot = FTakingSlot;
    try {
      Report(std::nullopt, std::move(entry));
    } catch (const std::exception&) {
      // The store's failure is the one to show.
    }
    throw;
  }
  return seqNum;
}

void Serializer::StampSeqNum(const ImageSettings& image, TObjImage& target, std::int32_t seqNum,
                             int slot) {
  if (slot < 1 || slot > 4) return;
  const ProfileSettings& settings = image.Settings;
  const auto index = static_cast<std::size_t>(slot - 1);
  if (!settings.SetSeqNumOfs[index]) return;
  StampSeqNumForm(target, seqNum, image.Optional.Get<SeqNumRules>().FormatOrDefault(),
                  settings.SeqNumSize, static_cast<std::uint32_t>(settings.SeqNumOfs[index]),
                  settings.ByteOrder == SerialByteOrder::LsbFirst);
}

void Serializer::SaveOutputImage(const ImageSettings& image, TObjImage& target, std::int32_t seqNum,
                                 std::string& outputPath) {
  if (image.Settings.DontSave) return;
  outputPath = JoinPath(image.Settings.OutputFolder, OutputFileName(image.Skeleton, seqNum));
  target.SaveToFile(outputPath);
}

bool Serializer::BurnImage(const ImageSettings& image, const TObjImage& /*target*/,
                           const std::string& outputPath) {
  const ProfileSettings& settings = image.Settings;
  const BurnerJudgement& judgement = image.Optional.Get<BurnerJudgement>();
  FBurnFate = SerialFate::Ok;
  FBurnExitCode.reset();
  FBurnMessage.clear();
  FBurnReason.clear();
  // A profile that judges its burns says how many runs each took.
  FBurnAttempts.reset();
  if (judgement.Any()) FBurnAttempts = 0;
  if (settings.DontBurn) return true;
  // Asked once: between attempts the chip is still in the burner.
  if (FOperator.ShowMessageBox(message::kPrepareChip, BoxKind::Confirm,
                               box_button::OK | box_button::Cancel) != mrOk) {
    FBurnFate = SerialFate::Cancelled;
    return false;
  }
  BurnRequest request;
  request.CommandLine = BuildBurnerCommandLine(settings.BurnerCmdLine, BurnerPathOf(outputPath));
  request.Show = settings.HideBurner ? WindowShow::Hidden : WindowShow::Normal;
  request.Context = FContext;
  BurnAttempts attempts(judgement);
  do {
    attempts.Prepare(request);
    FLastBurn = FBurner->Run(request);
  } while (attempts.Weigh(FLastBurn, StopRequested()));
  FBurnAttempts = attempts.Attempts();
  if (FLastBurn.Started) FBurnExitCode = FLastBurn.ExitCode;
  FBurnMessage = attempts.Message();
  if (attempts.Aborted()) {
    FBurnFate = SerialFate::Aborted;
    return false;
  }
  if (attempts.Done()) return true;
  FBurnFate = SerialFate::BurnerFailed;
  // A reason the exit code alone would not give is told to the operator.
  FBurnReason = attempts.Reason();
  return false;
}

std::unique_ptr<TIntelImage> Serializer::LoadSkelFile(const ImageSettings& settings) {
  const std::string& skelFile = settings.Skeleton;
  if (!FileExists(skelFile)) return nullptr;
  auto image = std::make_unique<TIntelImage>();
  image->LoadFromFile(skelFile);
  return image;
}

bool Serializer::SerializeImage() {
  std::optional<ImageUnderWay> image = BeginImage();
  if (!image) return false;
  FContext.Serial = image->Serial;
  bool ok = false;
  try {
    // The image itself is saved; the burner only needs its path.
    ok = BurnImage(image->Settings, TIntelImage(), image->OutputPath);
  } catch (const std::exception& error) {
    EndImage(*image, SerialFate::Error, std::nullopt, error.what());
    throw;
  }
  EndImage(*image, FBurnFate, FBurnExitCode, FBurnMessage, FBurnAttempts);
  // Once the record holds it, the operator learns why the burn failed (and a
  // batch stops there).
  if (!FBurnReason.empty()) FOperator.ShowMessageBox(FBurnReason, BoxKind::Error, box_button::OK);
  return ok;
}

std::optional<Serializer::ImageUnderWay> Serializer::BeginImage(
    int slot, const std::function<void(std::int32_t serial)>& taken) {
  ImageUnderWay under;
  // The one reading of the profile this image is made with.
  under.Settings = FProfile.Snapshot();
  under.Slot = slot;
  const std::unique_ptr<TIntelImage> image = LoadSkelFile(under.Settings);
  if (!image) {
    FOperator.ShowMessageBox(message::kSkeletonNotFound, BoxKind::Error, box_button::OK);
    return std::nullopt;
  }
  // The skeleton's own checksums, before a number is taken: a wrong kind or
  // range costs no number and no chip.
  FStore.RequireProfileRead();
  FChecksums.CheckSkeleton(under.Settings, *image);
  // From here on the number counts as used, whatever happens to the image.
  FTakingSlot = slot;
  under.Serial = TakeSeqNum(under.Settings);
  FTakingSlot = 0;
  under.ServerPool = std::move(FServerPool);
  FServerPool.reset();
  if (!FStore.ProductionLogName().empty()) {
    under.Record.emplace(FStore.ProductionLogName(), FStore.Ini().FileName());
  }
  try {
    if (taken) taken(under.Serial);
    for (int k = 1; k <= 4; ++k) StampSeqNum(under.Settings, *image, under.Serial, k);
    FChecksums.Stamp(under.Settings, *image);
    SaveOutputImage(under.Settings, *image, under.Serial, under.OutputPath);
  } catch (const std::exception& error) {
    // A record that can't take the line is the graver fault: it is the one
    // the operator sees, and production stops either way.
    EndImage(under, SerialFate::Error, std::nullopt, error.what());
    throw;
  }
  return under;
}

void Serializer::EndImage(ImageUnderWay& image, SerialFate fate,
                          std::optional<std::uint32_t> exitCode, std::string message,
                          std::optional<int> attempts) {
  ProductionEntry entry;
  entry.Skeleton = image.Settings.Skeleton;
  entry.Serial = image.Serial;
  entry.OutputFile = FullOutputPath(image.OutputPath);
  entry.Fate = fate;
  entry.ExitCode = exitCode;
  entry.Message = std::move(message);
  entry.Attempts = attempts;
  entry.Slot = image.Slot;
  FServerPool = std::move(image.ServerPool);
  image.ServerPool.reset();
  Report(image.Record, std::move(entry));
}

std::string Serializer::FullOutputPath(const std::string& outputPath) {
  if (outputPath.empty()) return std::string();
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(outputPath, ec);
  return ec ? outputPath : absolute.lexically_normal().string();
}

void Serializer::Report(const std::optional<ProductionLog>& record, ProductionEntry entry) {
  std::exception_ptr failure;
  if (record) {
    try {
      record->Append(entry);
    } catch (const std::exception& error) {
      // The number's end is the record's failure, which stops the command.
      entry.Fate = SerialFate::Error;
      entry.Message = error.what();
      failure = std::current_exception();
    }
  }
  if (FServerPool) {
    const std::string pool = std::move(*FServerPool);
    FServerPool.reset();
    try {
      FStore.Source()->Finish(pool, entry.Serial,
                              SerialEnd{entry.OutputFile, ProductionLog::FateText(entry.Fate),
                                        entry.ExitCode, entry.Message});
    } catch (const std::exception&) {
      // The image itself ended as the entry says; a server that can't hear
      // of it stops the command.
      if (!failure) failure = std::current_exception();
    }
  }
  if (FSerialObserver) FSerialObserver(entry);
  if (failure) std::rethrow_exception(failure);
}

bool Serializer::SerializeOne() {
  FContext = BurnContext{};
  // As a batch before each number: a stop asked for already takes none.
  if (StopRequested()) return false;
  if (!SerializeImage()) return false;
  FOperator.ShowMessageBox(message::kImageSerialized, BoxKind::Information, box_button::OK);
  return true;
}

BatchOutcome Serializer::SerializeBatch(std::int32_t count) {
  BatchOutcome outcome;
  outcome.Requested = count;
  if (count <= 0) return outcome;
  if (FProgress != nullptr) FProgress->ProgressRangeShown(0, count);
  for (std::int32_t k = 1; k <= count; ++k) {
    if (StopRequested()) {
      outcome.Stopped = true;
      return outcome;
    }
    FContext = BurnContext{k, count, 0};
    if (!SerializeImage()) return outcome;
    outcome.Completed = k;
    if (FProgress != nullptr) FProgress->ProgressShown(k);
  }
  if (FProgress != nullptr) FProgress->ProgressShown(0);
  FOperator.ShowMessageBox(message::ImagesSerialized(count), BoxKind::Information, box_button::OK);
  return outcome;
}

}  // namespace velmorin
