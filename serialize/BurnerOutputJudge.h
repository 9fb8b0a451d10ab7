// Reads a burner's output as it arrives and tells whether a line of it
// matched the profile's BurnerFailText or BurnerOkText. Output comes in
// chunks of any size, cut anywhere; standard output and standard error may
// arrive as two streams, each split into lines on its own. A line ends at
// LF, CR LF or a bare CR (progress bars redraw themselves with one), also
// when the CR ends one chunk and its LF begins the next; the line end is not
// part of the line, and the last line counts without one once the output
// ends. A line is matched on its first kMaxLineLength bytes and the rest of
// it is dropped unread, so the judge holds a bounded number of bytes however
// much a burner writes and however long its lines are. Each line is matched
// once, in time linear in its length (LinePattern).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/process/WatchedProcess.h"
#include "profiles/BurnerJudgement.h"

namespace velmorin {

class BurnerOutputJudge {
 public:
  static constexpr std::size_t kMaxLineLength = 64 * 1024;
  // The matching line is kept for the failure's message, cut to this many
  // characters.
  static constexpr std::size_t kMaxQuotedLength = 200;

  // Standard output or standard error, as the process names them.
  using Stream = ChildStream;

  // Judges by the patterns of `judgement`; without any, every line is read
  // past unmatched.
  explicit BurnerOutputJudge(const BurnerJudgement& judgement);

  // What arrived on `stream` next.
  void Feed(Stream stream, std::string_view chunk);
  // The output has ended (the burner and all it started have closed their
  // side, or the runner stopped reading): each stream's last line, without a
  // line end, is matched now. Once, after the last Feed.
  void Finish();

  // Whether a line matched BurnerFailText, and the first such line, cut to
  // kMaxQuotedLength characters: UTF-8 characters where the program's text
  // is UTF-8 (never inside one), bytes where it is ANSI; a control character
  // in it (but a tab) is a blank.
  bool FailTextMatched() const { return FFailLine.has_value(); }
  const std::string& FailLine() const { return *FFailLine; }
  // Whether a line matched BurnerOkText.
  bool OkTextMatched() const { return FOkMatched; }

  // The bytes the judge holds for lines not yet ended and for the kept line:
  // at most kMaxLineLength for each stream, and the kept line.
  std::size_t HeldBytes() const;

 private:
  // One stream's line under way.
  struct LineState {
    std::string Pending;    // the line so far, at most kMaxLineLength bytes
    bool Overlong = false;  // matched already; the rest up to its end is dropped
    bool AfterCr = false;   // the last byte was a CR: an LF next is part of its line end
  };

  // Whether matching is still worth doing.
  bool Watching() const;
  void Consume(LineState& state, std::string_view chunk);
  void AddToLine(LineState& state, std::string_view part);
  // `part` is the line's last part, before its line end.
  void EndLine(LineState& state, std::string_view part);
  void Judge(std::string_view line);

  std::optional<LinePattern> FFailText;
  std::optional<LinePattern> FOkText;
  std::array<LineState, 2> FStreams;
  std::optional<std::string> FFailLine;
  bool FOkMatched = false;
};

}  // namespace velmorin
