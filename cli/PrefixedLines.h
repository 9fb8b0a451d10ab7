// A burner's output as whole lines, each with its slot's number in front
// ("[2] "), so that the output of several burners at once can be told apart
// on standard error. A line ends at LF, CR LF or a bare CR (a progress bar
// redraws itself with one), also when the CR ends one chunk and the LF
// begins the next; each line goes out with LF. A line longer than kMaxLength
// bytes goes out in pieces of that length, each a line of its own, so that
// a slot without line ends holds back a bounded amount.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmorin::cli {

class PrefixedLines {
 public:
  static constexpr std::size_t kMaxLength = 4096;

  explicit PrefixedLines(std::string prefix) : FPrefix(std::move(prefix)) {}

  // The lines `chunk` completes, each as prefix + line + LF; what follows
  // the last line end waits for the next chunk.
  std::string Feed(std::string_view chunk);
  // The output has ended: its last line, if it had no line end.
  std::string Finish();

  // "[<slot>] ".
  static std::string SlotPrefix(int slot);

 private:
  void EndLine(std::string& out);

  std::string FPrefix;
  std::string FPending;
  bool FAfterCr = false;
  bool FAfterCut = false;  // the last byte filled a line to kMaxLength
};

}  // namespace velmorin::cli
