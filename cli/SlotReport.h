// What velmorin-cli serialize --slots shows while several burners run: each
// burner's output on standard error, every line with its slot's number in
// front ("[2] Programming... done"), and on a terminal the slots' states in
// one progress line below it ("5 of 12 done; 1: 1004 burning, 2: 1005
// burning, 3: stopped, 4: 1006 saving").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/PrefixedLines.h"
#include "cli/ProgressLine.h"
#include "serialize/SlotBatch.h"

namespace velmorin::cli {

class SlotReport : public SlotObserver {
 public:
  // `progress` must outlive the report.
  SlotReport(int slots, std::int32_t count, ProgressLine& progress);

  void SlotShown(int slot, SlotState state, std::int32_t serial) override;
  void BurnerOutput(int slot, std::string_view text) override;
  void BurnerEnded(int slot) override;
  // An image has ended; `done` when it was done.
  void ImageEnded(bool done);

  // A slot's state as the progress line words it.
  static std::string StateText(SlotState state, std::int32_t serial);

 private:
  void Write(const std::string& text);
  void Redraw();

  std::int32_t FCount;
  int FDone = 0;
  ProgressLine& FProgress;
  std::vector<std::string> FStates;
  std::vector<PrefixedLines> FLines;
};

}  // namespace velmorin::cli
