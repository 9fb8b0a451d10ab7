#include "cli/PrefixedLines.h"

namespace velmorin::cli {

std::string PrefixedLines::SlotPrefix(int slot) {
  return "[" + std::to_string(slot) + "] ";
}

void PrefixedLines::EndLine(std::string& out) {
  out += FPrefix;
  out += FPending;
  out += '\n';
  FPending.clear();
}

std::string PrefixedLines::Feed(std::string_view chunk) {
  std::string out;
  for (const char c : chunk) {
    const bool afterCr = FAfterCr;
    FAfterCr = c == '\r';
    if (c == '\n' && afterCr) continue;  // the LF of a CR LF
    const bool afterCut = FAfterCut;
    FAfterCut = false;
    if (c == '\n' || c == '\r') {
      // A line cut just before its end has gone out whole already.
      if (!afterCut) EndLine(out);
      continue;
    }
    FPending += c;
    if (FPending.size() == kMaxLength) {
      EndLine(out);
      FAfterCut = true;
    }
  }
  return out;
}

std::string PrefixedLines::Finish() {
  std::string out;
  if (!FPending.empty()) EndLine(out);
  FAfterCr = false;
  FAfterCut = false;
  return out;
}

}  // namespace velmorin::cli
