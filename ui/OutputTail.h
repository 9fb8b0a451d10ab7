// The newest part of a burner's output, on its way from the pipe to the
// running-burner box. However much a burner writes, at most `maxLines` lines
// of at most `maxLineLength` characters wait here between two refreshes of the
// box, so memory stays bounded and one refresh never has more to draw than
// the box can hold.
#pragma once

#include <QString>
#include <QStringView>

namespace velmorin {

class OutputTail {
 public:
  OutputTail(int maxLines, int maxLineLength);

  // Adds text as it arrived. Carriage returns are dropped (a CR LF ends one
  // line); a line grown to `maxLineLength` characters is broken there. The
  // text may end in the middle of a line; the next call goes on with it.
  void Append(QStringView text);

  bool Empty() const { return FPending.isEmpty(); }

  // The text added since the last Take, newest `maxLines` lines at most.
  // `replacesAll` is set when older lines were dropped here: the text alone
  // then fills the box, and what the box showed before can go.
  QString Take(bool& replacesAll);

 private:
  void Trim(int keepLines);

  int FMaxLines;
  int FMaxLineLength;
  QString FPending;
  int FPendingLineBreaks = 0;
  int FColumn = 0;  // length of the unfinished last line, across Takes
  bool FDropped = false;
};

}  // namespace velmorin
