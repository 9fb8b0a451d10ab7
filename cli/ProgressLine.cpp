#include "cli/ProgressLine.h"

#include <cstdio>

#include "platform/system/Console.h"

namespace velmorin::cli {

namespace {

constexpr int kBarWidth = 30;

}  // namespace

ProgressLine::ProgressLine() : FEnabled(IsTerminal(2)) {}

std::string ProgressLine::Text(int image, int count, std::int32_t serial, int finished, int width) {
  const int total = count > 0 ? count : 1;
  std::string text = "Image " + std::to_string(image) + " of " + std::to_string(total) +
                     ", serial " + std::to_string(serial);
  const long long done = static_cast<long long>(finished) * width / total;
  text += " [";
  text.append(static_cast<std::size_t>(done), '#');
  text.append(static_cast<std::size_t>(width - done), ' ');
  text += "]";
  return text;
}

void ProgressLine::Show(int image, int count, std::int32_t serial, int finished) {
  if (!FEnabled) return;
  Draw(Text(image, count, serial, finished, kBarWidth));
}

void ProgressLine::Draw(const std::string& text) {
  // Back to the start of the line, the text, and the rest of the line cleared.
  const std::string line = "\r" + text + "\x1b[K";
  std::fflush(stdout);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  FShown = true;
}

std::string ProgressLine::SlotsText(int done, int count, const std::vector<std::string>& states,
                                    std::size_t width) {
  std::string text = std::to_string(done) + " of " + std::to_string(count) + " done";
  for (std::size_t i = 0; i < states.size(); ++i) {
    text += i == 0 ? "; " : ", ";
    text += std::to_string(i + 1) + ": " + states[i];
  }
  if (text.size() > width) {
    // A line wider than the terminal would wrap, and "\r" would no longer
    // take it back to its start.
    const std::string cut = "...";
    text.resize(width > cut.size() ? width - cut.size() : 0);
    text += cut.substr(0, width - text.size());
  }
  return text;
}

void ProgressLine::ShowSlots(int done, int count, const std::vector<std::string>& states) {
  if (!FEnabled) return;
  const int columns = TerminalColumns(2);
  // One column short of the width: a line that fills it wraps on some terminals.
  const std::size_t width = columns > 1 ? static_cast<std::size_t>(columns - 1) : 79;
  Draw(SlotsText(done, count, states, width));
}

void ProgressLine::Clear() {
  if (!FShown) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  FShown = false;
}

void ProgressLine::EndLine() {
  if (!FShown) return;
  std::fputc('\n', stderr);
  std::fflush(stderr);
  FShown = false;
}

}  // namespace velmorin::cli
