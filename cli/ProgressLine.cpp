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
  // Back to the start of the line, the text, and the rest of the line cleared.
  const std::string line = "\r" + Text(image, count, serial, finished, kBarWidth) + "\x1b[K";
  std::fflush(stdout);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  FShown = true;
}

void ProgressLine::EndLine() {
  if (!FShown) return;
  std::fputc('\n', stderr);
  std::fflush(stderr);
  FShown = false;
}

}  // namespace velmorin::cli
