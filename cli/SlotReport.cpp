#include "cli/SlotReport.h"

#include <cstdio>

namespace velmorin::cli {

SlotReport::SlotReport(int slots, std::int32_t count, ProgressLine& progress)
    : FCount(count), FProgress(progress) {
  for (int slot = 1; slot <= slots; ++slot) {
    FStates.push_back(StateText(SlotState::Waiting, 0));
    FLines.emplace_back(PrefixedLines::SlotPrefix(slot));
  }
}

std::string SlotReport::StateText(SlotState state, std::int32_t serial) {
  const std::string number = std::to_string(serial) + " ";
  switch (state) {
    case SlotState::Waiting:
      return "waiting";
    case SlotState::Saving:
      return number + "saving";
    case SlotState::Burning:
      return number + "burning";
    case SlotState::Stopping:
      return number + "stopping";
    case SlotState::Stopped:
      return "stopped";
    case SlotState::Done:
      return "done";
  }
  return "";
}

void SlotReport::SlotShown(int slot, SlotState state, std::int32_t serial) {
  FStates.at(static_cast<std::size_t>(slot - 1)) = StateText(state, serial);
  Redraw();
}

void SlotReport::BurnerOutput(int slot, std::string_view text) {
  Write(FLines.at(static_cast<std::size_t>(slot - 1)).Feed(text));
}

void SlotReport::BurnerEnded(int slot) {
  Write(FLines.at(static_cast<std::size_t>(slot - 1)).Finish());
}

void SlotReport::ImageEnded(bool done) {
  if (done) ++FDone;
  Redraw();
}

void SlotReport::Write(const std::string& text) {
  if (text.empty()) return;
  // The lines go above the progress line, which is drawn again below them.
  FProgress.Clear();
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
  Redraw();
}

void SlotReport::Redraw() {
  FProgress.ShowSlots(FDone, FCount, FStates);
}

}  // namespace velmorin::cli
