// The progress of a batch on standard error, when that is a terminal:
// "Image 3 of 10, serial 1002" and a bar, rewritten in place; with several
// burners at once, each slot's state ("5 of 12 done; 1: 1004 burning, 3:
// stopped"). Nothing at all when standard error is a file or a pipe, so
// logs hold only what matters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

  // Shows each slot's state as `states` words it ("1004 burning",
  // "stopped"), in a line cut to the terminal's width.
  void ShowSlots(int done, int count, const std::vector<std::string>& states);
  // Takes the line away, so that text can go out in its place; the next Show
  // or ShowSlots draws it again.
  void Clear();

  // The text for one moment, without control characters (for tests of the look).
  static std::string Text(int image, int count, std::int32_t serial, int finished, int width);
  // "<done> of <count> done; 1: 1004 burning, 2: stopped, ..." in at most
  // `width` characters (the cut ends in "...").
  static std::string SlotsText(int done, int count, const std::vector<std::string>& states,
                               std::size_t width);

 private:
  void Draw(const std::string& text);

  bool FEnabled;
  bool FShown = false;
};

}  // namespace velmorin::cli
