// The road of one serialization and the two serialize commands: take the next
// serial number, stamp it into a fresh copy of the skeleton image, save the
// copy under its numbered name and hand it to the burner.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "BurnerRunner.h"
#include "ObjImage.h"
#include "Operator.h"
#include "ProductionLog.h"
#include "ProfileStore.h"
#include "ProfileView.h"

namespace velmorin {

class Serializer {
 public:
  Serializer(ProfileView& view, ProfileStore& store, Operator& op);

  // The number for this image; under "Auto Inc." the Next SN field advances
  // (wrapping at 32 bits) and the profile is stored before this returns.
  // Refused, before anything is taken, while a failed read of the INI file
  // leaves the window's profile unknown.
  std::int32_t TakeSeqNum();
  // Writes the number into `image` at slot 1..4 when that slot is switched on.
  // Raises ESeqNumSizeError, before writing anything, for an SN Size above
  // kMaxSeqNumSize.
  void StampSeqNum(TObjImage& image, std::int32_t seqNum, int slot);
  // Writes the image under its numbered name; `outputPath` receives the path
  // (left as it was when "Don't save" is checked). The image is not changed,
  // but writing it is no const operation of TObjImage.
  void SaveOutputImage(TObjImage& image, std::int32_t seqNum, std::string& outputPath);
  bool BurnImage(const TObjImage& image, const std::string& outputPath);
  // A new image read from the skeleton file, or nullptr when no file is there.
  std::unique_ptr<TIntelImage> LoadSkelFile();
  // With the production record on, its line for this image is on disk
  // before this returns, on every path after the number was taken.
  bool SerializeImage();

  // The "Serialize 1" command.
  void SerializeOne();
  // The "Serialize..." command; `title` is the main window's caption.
  void SerializeBatch(const std::string& title);

  // Replaces the way the burner is run (ExecAndWait by default). The runner
  // must outlive the serializer.
  void SetBurnerRunner(BurnerRunner& runner) { FBurner = &runner; }

  // What became of the last burner run (the default outcome before any).
  const BurnOutcome& LastBurn() const { return FLastBurn; }

 private:
  ProfileView& FView;
  ProfileStore& FStore;
  Operator& FOperator;
  ExecBurnerRunner FDefaultBurner;
  BurnerRunner* FBurner = &FDefaultBurner;
  // Where the command stands, handed to the runner with each burn.
  BurnContext FContext;
  BurnOutcome FLastBurn;
  // How the last BurnImage ended, as the production record tells it.
  SerialFate FBurnFate = SerialFate::Ok;
  std::optional<std::uint32_t> FBurnExitCode;
};

}  // namespace velmorin
