#include "ui/OutputTail.h"

#include <algorithm>
#include <utility>

namespace velmorin {

OutputTail::OutputTail(int maxLines, int maxLineLength)
    : FMaxLines(std::max(1, maxLines)), FMaxLineLength(std::max(1, maxLineLength)) {}

void OutputTail::Append(QStringView text) {
  FPending.reserve(FPending.size() + text.size());
  const qsizetype size = text.size();
  qsizetype at = 0;
  while (at < size) {
    const QChar c = text[at];
    if (c == u'\r') {
      ++at;
      continue;
    }
    if (c == u'\n') {
      FPending += c;
      ++FPendingLineBreaks;
      FColumn = 0;
      ++at;
      continue;
    }
    if (FColumn == FMaxLineLength) {
      FPending += u'\n';
      ++FPendingLineBreaks;
      FColumn = 0;
    }
    // Ordinary characters are copied in runs, up to the line's room.
    const qsizetype limit = std::min(size, at + (FMaxLineLength - FColumn));
    qsizetype end = at;
    while (end < limit && text[end] != u'\n' && text[end] != u'\r') ++end;
    FPending.append(text.mid(at, end - at));
    FColumn += static_cast<int>(end - at);
    at = end;
  }
  // Trimmed in batches, so that a flood costs linear time, not quadratic.
  if (FPendingLineBreaks > 2 * FMaxLines) Trim(FMaxLines);
}

QString OutputTail::Take(bool& replacesAll) {
  if (FPendingLineBreaks >= FMaxLines) Trim(FMaxLines - 1);
  replacesAll = FDropped;
  FDropped = false;
  FPendingLineBreaks = 0;
  return std::exchange(FPending, QString());
}

// Keeps the text after the last `keepLines` line breaks (the unfinished line
// after the last break counts as one more line).
void OutputTail::Trim(int keepLines) {
  const int drop = FPendingLineBreaks - keepLines;
  if (drop <= 0) return;
  qsizetype at = -1;
  for (int seen = 0; seen < drop; ++seen) at = FPending.indexOf(u'\n', at + 1);
  FPending.remove(0, at + 1);
  FPendingLineBreaks = keepLines;
  FDropped = true;
}

}  // namespace velmorin
