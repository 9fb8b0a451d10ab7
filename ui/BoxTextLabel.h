// The text of a message box. It breaks lines at blanks where it can, and
// inside a word (a long path segment) where one word alone is wider than the
// box, so that every character of a message is shown. A plain QLabel clips
// such a word.
#pragma once

#include <QLabel>
#include <QString>
#include <QStringList>

namespace velmorin {

class TBoxTextLabel : public QLabel {
  Q_OBJECT

 public:
  // `text` is plain text; "\n" starts a new line.
  explicit TBoxTextLabel(const QString& text, QWidget* parent = nullptr);

  // The lines as drawn at `width` pixels; together they hold every character
  // of the text but the line breaks.
  QStringList LinesAt(int width) const;
  QStringList Lines() const { return LinesAt(width()); }
  // The width of the widest line when nothing is broken, at most `limit`.
  int NaturalWidth(int limit) const;

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Lays out each line of the text at `width` and hands each laid-out
  // paragraph to `use` with its top; gives the total height.
  template <typename Use>
  int Layout(int width, Use&& use) const;
};

}  // namespace velmorin
