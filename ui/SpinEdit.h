// A numeric field with up and down arrows holding one signed 32-bit integer,
// shown in decimal or in upper-case hexadecimal. The text is the value: it is
// read whenever the value is asked for, a text that is no number reads as 0,
// and there is no minimum or maximum (stepping wraps around at 32 bits).
#pragma once

#include <QAbstractSpinBox>
#include <QString>
#include <cstdint>

namespace velmorin {

class SpinEdit : public QAbstractSpinBox {
  Q_OBJECT

 public:
  enum class Base { Decimal, Hexadecimal };
  // A hexadecimal field holds at most this many digits (32 bits); a further
  // digit is refused as a wrong character is, rather than turning the text
  // into a number that reads as 0.
  static constexpr int kMaxHexDigits = 8;

  explicit SpinEdit(Base base, QWidget* parent = nullptr);

  Base NumberBase() const { return FBase; }
  // The text field inside, for the caret and the selection.
  QLineEdit* Editor() const { return lineEdit(); }

  // The value read from the current text (0 when the text is no number).
  std::int32_t Value() const;
  // Shows `value` in its display form.
  void SetValue(std::int32_t value);

  // When on, the text is replaced by the display form of its value after every
  // change, keeping the caret where it was ("1a" shows "1A", "007" shows "7").
  void SetReformatOnChange(bool on) { FReformat = on; }
  bool ReformatOnChange() const { return FReformat; }

  // The display form of `value` in `base`: decimal with a leading "-", or
  // upper-case hexadecimal without prefix or leading zeros. Hexadecimal shows
  // the 32-bit pattern, so a negative value appears as 80000000..FFFFFFFF.
  static QString Format(std::int32_t value, Base base);
  // Reads `text` as a number in `base`; false when it is none. Decimal takes
  // an optional sign and digits within the signed 32-bit range; hexadecimal
  // an optional sign and digits (either case) whose value fits in 32 bits,
  // taken as a 32-bit pattern, so Format's output always reads back the same.
  static bool TryParse(const QString& text, Base base, std::int32_t& value);

  void stepBy(int steps) override;
  QValidator::State validate(QString& input, int& pos) const override;

 signals:
  // A typed character was refused (after the beep): not one the field
  // takes, or a digit too many.
  void Refused(QChar character);

 protected:
  StepEnabled stepEnabled() const override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool Accepts(QChar c) const;
  // Typing `c` would put more than kMaxHexDigits digits into a hex field.
  bool WouldOverflow(QChar c) const;

  Base FBase;
  bool FReformat = false;
};

}  // namespace velmorin
