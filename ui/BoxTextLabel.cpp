#include "ui/BoxTextLabel.h"

#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace velmorin {

TBoxTextLabel::TBoxTextLabel(const QString& text, QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  setText(text);
}

template <typename Use>
int TBoxTextLabel::Layout(int width, Use&& use) const {
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  qreal top = 0;
  for (const QString& paragraph : text().split(u'\n')) {
    QTextLayout layout(paragraph, font());
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(std::max(1, width));
      line.setPosition(QPointF(0, y));
      y += line.height();
    }
    layout.endLayout();
    use(layout, top);
    top += std::max(y, static_cast<qreal>(fontMetrics().height()));
  }
  return static_cast<int>(std::ceil(top));
}

QStringList TBoxTextLabel::LinesAt(int width) const {
  QStringList lines;
  Layout(width, [&lines](const QTextLayout& layout, qreal) {
    for (int i = 0; i < layout.lineCount(); ++i) {
      const QTextLine line = layout.lineAt(i);
      lines.append(layout.text().mid(line.textStart(), line.textLength()));
    }
  });
  return lines;
}

int TBoxTextLabel::NaturalWidth(int limit) const {
  int widest = 0;
  for (const QString& paragraph : text().split(u'\n')) {
    widest = std::max(widest, fontMetrics().horizontalAdvance(paragraph));
  }
  return std::min(widest, limit);
}

int TBoxTextLabel::heightForWidth(int width) const {
  return Layout(width, [](const QTextLayout&, qreal) {});
}

QSize TBoxTextLabel::sizeHint() const {
  const int width = NaturalWidth(QWIDGETSIZE_MAX);
  return QSize(width, heightForWidth(width));
}

QSize TBoxTextLabel::minimumSizeHint() const {
  return QSize(fontMetrics().averageCharWidth(), fontMetrics().height());
}

void TBoxTextLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  Layout(width(), [&painter](const QTextLayout& layout, qreal top) {
    layout.draw(&painter, QPointF(0, top));
  });
}

}  // namespace velmorin
