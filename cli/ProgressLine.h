// The progress of a batch on standard error, when that is a terminal:
// "Image 3 of 10, serial 1002" and a bar, rewritten in place. Nothing at all
// when standard error is a file or a pipe, so logs hold only what matters.
#pragma once

#include <cstdint>
#include <string>

namespace velmorin::cli {

class ProgressLine {
 public:
  ProgressLine();
  bool Enabled() const { return FEnabled; }

  // Image `image` of `count` (count 0: a single image), serial `serial`,
  // with `finished` images at their end; the line is rewritten in place.
  void Show(int image, int count, std::int32_t serial, int finished);
  // Ends the line, so that what comes next (the burner's output, the end of
  // the command) starts on a line of its own.
  void EndLine();

  // The text for one moment, without control characters (for tests of the look).
  static std::string Text(int image, int count, std::int32_t serial, int finished, int width);

 private:
  bool FEnabled;
  bool FShown = false;
};

}  // namespace velmorin::cli
