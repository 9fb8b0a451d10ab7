#include "ui/SpinEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>
#include <algorithm>

namespace velmorin {

namespace {

// The value of `c` as a digit of `base`, or -1.
int DigitValue(QChar c, SpinEdit::Base base) {
  if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
  if (base == SpinEdit::Base::Hexadecimal) {
    if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
  }
  return -1;
}

// The hex digits in `text`.
int HexDigitCount(const QString& text) {
  return static_cast<int>(std::count_if(text.begin(), text.end(), [](QChar c) {
    return DigitValue(c, SpinEdit::Base::Hexadecimal) >= 0;
  }));
}

}  // namespace

SpinEdit::SpinEdit(Base base, QWidget* parent) : QAbstractSpinBox(parent), FBase(base) {
  // Enter is handled by the window (its default button), not by the field.
  setKeyboardTracking(true);
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  setAccelerated(false);
  // A disabled field takes the colour of the window's face, so that an address
  // whose slot is off reads as inactive at a glance.
  QPalette pal = palette();
  pal.setColor(QPalette::Disabled, QPalette::Base, pal.color(QPalette::Active, QPalette::Button));
  setPalette(pal);
  lineEdit()->setText(QStringLiteral("0"));
}

QString SpinEdit::Format(std::int32_t value, Base base) {
  if (base == Base::Decimal) return QString::number(value);
  return QString::number(static_cast<std::uint32_t>(value), 16).toUpper();
}

bool SpinEdit::TryParse(const QString& text, Base base, std::int32_t& value) {
  qsizetype i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (i == text.size()) return false;

  const std::uint64_t radix = base == Base::Decimal ? 10 : 16;
  // Decimal admits one more unit below zero than above.
  const std::uint64_t limit =
      base == Base::Decimal ? (negative ? 0x80000000ULL : 0x7FFFFFFFULL) : 0xFFFFFFFFULL;
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) return false;
    magnitude = magnitude * radix + static_cast<std::uint64_t>(digit);
    if (magnitude > limit) return false;
  }
  // Two's-complement negation of the 32-bit pattern.
  std::uint32_t pattern = static_cast<std::uint32_t>(magnitude);
  if (negative) pattern = 0U - pattern;
  value = static_cast<std::int32_t>(pattern);
  return true;
}

std::int32_t SpinEdit::Value() const {
  std::int32_t value = 0;
  return TryParse(lineEdit()->text(), FBase, value) ? value : 0;
}

void SpinEdit::SetValue(std::int32_t value) {
  lineEdit()->setText(Format(value, FBase));
}

void SpinEdit::stepBy(int steps) {
  const auto next = static_cast<std::uint32_t>(Value()) + static_cast<std::uint32_t>(steps);
  SetValue(static_cast<std::int32_t>(next));
  selectAll();
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const {
  // No minimum or maximum: both directions are always open, also when the
  // field is read-only (the base class then greys nothing out either).
  return StepUpEnabled | StepDownEnabled;
}

bool SpinEdit::WouldOverflow(QChar c) const {
  if (FBase != Base::Hexadecimal || DigitValue(c, FBase) < 0) return false;
  // The text as it would be: the selection, if any, replaced by `c`.
  QString after = lineEdit()->text();
  if (lineEdit()->hasSelectedText()) {
    after.remove(lineEdit()->selectionStart(), lineEdit()->selectedText().size());
  }
  return HexDigitCount(after) + 1 > kMaxHexDigits;
}

bool SpinEdit::Accepts(QChar c) const {
  return c == u'+' || c == u'-' || DigitValue(c, FBase) >= 0;
}

QValidator::State SpinEdit::validate(QString& input, int& pos) const {
  // Any text made of the allowed characters may stand; whether it is a number
  // only matters when it is read. Pasted text with other characters is refused.
  for (const QChar c : input) {
    if (!Accepts(c)) return QValidator::Invalid;
  }
  if (FBase == Base::Hexadecimal && HexDigitCount(input) > kMaxHexDigits) {
    return QValidator::Invalid;
  }
  if (FReformat) {
    std::int32_t value = 0;
    if (!TryParse(input, FBase, value)) value = 0;
    input = Format(value, FBase);
    pos = std::min(pos, static_cast<int>(input.size()));
  }
  return QValidator::Acceptable;
}

void SpinEdit::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  const bool printable = text.size() == 1 && text[0].isPrint() &&
                         !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (printable && !isReadOnly() && (!Accepts(text[0]) || WouldOverflow(text[0]))) {
    QApplication::beep();
    emit Refused(text[0]);
    event->accept();
    return;
  }
  QAbstractSpinBox::keyPressEvent(event);
}

}  // namespace velmorin
