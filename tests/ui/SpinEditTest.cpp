// The spin field: display form, reading, typing, stepping, and Enter.
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QWheelEvent>
#include <climits>

#include "ui/SpinEdit.h"

using velmorin::SpinEdit;
using Base = SpinEdit::Base;

Q_DECLARE_METATYPE(SpinEdit::Base)

namespace {

// Gives the test the style geometry of the arrow buttons.
class ProbeSpinEdit : public SpinEdit {
 public:
  using SpinEdit::SpinEdit;
  QPoint ArrowCentre(QStyle::SubControl arrow) const {
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_SpinBox, &option, arrow, this).center();
  }
};

enum class Kind { Decimal, Hex, HexReformat };

std::unique_ptr<SpinEdit> MakeField(Kind kind) {
  auto field =
      std::make_unique<ProbeSpinEdit>(kind == Kind::Decimal ? Base::Decimal : Base::Hexadecimal);
  field->SetReformatOnChange(kind == Kind::HexReformat);
  field->resize(85, 21);
  return field;
}

}  // namespace

Q_DECLARE_METATYPE(Kind)

class SpinEditTest : public QObject {
  Q_OBJECT

 private slots:
  void formatShowsTheDisplayForm_data();
  void formatShowsTheDisplayForm();
  void parseReadsNumbersAndRejectsTheRest_data();
  void parseReadsNumbersAndRejectsTheRest();
  void everyValueReadsBackAsShown();
  void typingAcceptsOnlyNumberCharacters_data();
  void typingAcceptsOnlyNumberCharacters();
  void reformatKeepsTheCaret();
  void emptiedFieldReadsZero_data();
  void emptiedFieldReadsZero();
  void upDownKeysStepByOneAndWrap_data();
  void upDownKeysStepByOneAndWrap();
  void wheelAndArrowButtonsStep();
  void pastedTextWithOtherCharactersIsRefused();
  void enterPressesTheDialogsDefaultButton();
};

void SpinEditTest::formatShowsTheDisplayForm_data() {
  QTest::addColumn<int>("value");
  QTest::addColumn<Base>("base");
  QTest::addColumn<QString>("text");
  QTest::newRow("dec zero") << 0 << Base::Decimal << "0";
  QTest::newRow("dec negative") << -42 << Base::Decimal << "-42";
  QTest::newRow("dec min") << INT_MIN << Base::Decimal << "-2147483648";
  QTest::newRow("hex zero") << 0 << Base::Hexadecimal << "0";
  QTest::newRow("hex upper, no leading zeros") << 0x7F0 << Base::Hexadecimal << "7F0";
  QTest::newRow("hex max") << INT_MAX << Base::Hexadecimal << "7FFFFFFF";
  QTest::newRow("hex -1 as pattern") << -1 << Base::Hexadecimal << "FFFFFFFF";
  QTest::newRow("hex min as pattern") << INT_MIN << Base::Hexadecimal << "80000000";
}

void SpinEditTest::formatShowsTheDisplayForm() {
  QFETCH(int, value);
  QFETCH(Base, base);
  QFETCH(QString, text);
  QCOMPARE(SpinEdit::Format(value, base), text);
  SpinEdit field(base);
  field.SetValue(value);
  QCOMPARE(field.text(), text);
  QCOMPARE(field.Value(), value);
}

void SpinEditTest::parseReadsNumbersAndRejectsTheRest_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<Base>("base");
  QTest::addColumn<bool>("ok");
  QTest::addColumn<int>("value");
  QTest::newRow("dec digits") << "123" << Base::Decimal << true << 123;
  QTest::newRow("dec plus") << "+7" << Base::Decimal << true << 7;
  QTest::newRow("dec minus") << "-7" << Base::Decimal << true << -7;
  QTest::newRow("dec max") << "2147483647" << Base::Decimal << true << INT_MAX;
  QTest::newRow("dec min") << "-2147483648" << Base::Decimal << true << INT_MIN;
  QTest::newRow("dec above max") << "2147483648" << Base::Decimal << false << 0;
  QTest::newRow("dec hex letter") << "1a" << Base::Decimal << false << 0;
  QTest::newRow("empty") << "" << Base::Decimal << false << 0;
  QTest::newRow("sign alone") << "-" << Base::Hexadecimal << false << 0;
  QTest::newRow("sign after digits") << "1-" << Base::Hexadecimal << false << 0;
  QTest::newRow("two signs") << "--1" << Base::Decimal << false << 0;
  QTest::newRow("hex lower") << "1a" << Base::Hexadecimal << true << 0x1A;
  QTest::newRow("hex leading zeros") << "0000000007F0" << Base::Hexadecimal << true << 0x7F0;
  QTest::newRow("hex pattern") << "80000000" << Base::Hexadecimal << true << INT_MIN;
  QTest::newRow("hex minus") << "-1A" << Base::Hexadecimal << true << -0x1A;
  QTest::newRow("hex over 32 bits") << "100000000" << Base::Hexadecimal << false << 0;
}

void SpinEditTest::parseReadsNumbersAndRejectsTheRest() {
  QFETCH(QString, text);
  QFETCH(Base, base);
  QFETCH(bool, ok);
  QFETCH(int, value);
  std::int32_t parsed = 12345;
  QCOMPARE(SpinEdit::TryParse(text, base, parsed), ok);
  if (ok) QCOMPARE(parsed, value);
  // In a field the same text reads as the number, or as 0 when it is none.
  SpinEdit field(base);
  field.Editor()->setText(text);
  QCOMPARE(field.Value(), ok ? value : 0);
}

void SpinEditTest::everyValueReadsBackAsShown() {
  // Values across the whole 32-bit range, including the ones hexadecimal shows
  // as 80000000 and up.
  for (const Base base : {Base::Decimal, Base::Hexadecimal}) {
    for (std::int64_t v = INT_MIN; v <= INT_MAX; v += 0x01234567) {
      const auto value = static_cast<std::int32_t>(v);
      std::int32_t back = 0;
      QVERIFY(SpinEdit::TryParse(SpinEdit::Format(value, base), base, back));
      QCOMPARE(back, value);
    }
  }
}

void SpinEditTest::typingAcceptsOnlyNumberCharacters_data() {
  QTest::addColumn<Kind>("kind");
  QTest::addColumn<QString>("keys");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("value");
  QTest::addColumn<int>("refused");
  QTest::newRow("reformat shows 1A") << Kind::HexReformat << "1a"
                                     << "1A" << 0x1A << 0;
  QTest::newRow("plain keeps 1a") << Kind::Hex << "1a"
                                  << "1a" << 0x1A << 0;
  QTest::newRow("reformat drops zeros") << Kind::HexReformat << "007"
                                        << "7" << 7 << 0;
  QTest::newRow("hex G refused") << Kind::Hex << "1G"
                                 << "1" << 1 << 1;
  QTest::newRow("hex dot refused") << Kind::HexReformat << "2.3"
                                   << "23" << 0x23 << 1;
  QTest::newRow("dec letters refused") << Kind::Decimal << "1aF"
                                       << "1" << 1 << 2;
  QTest::newRow("dec dot and space refused") << Kind::Decimal << "4. 2"
                                             << "42" << 42 << 2;
  QTest::newRow("dec sign") << Kind::Decimal << "-12"
                            << "-12" << -12 << 0;
  QTest::newRow("hex sign") << Kind::Hex << "+f"
                            << "+f" << 15 << 0;
  QTest::newRow("dec no number reads 0") << Kind::Decimal << "1-2"
                                         << "1-2" << 0 << 0;
  // Eight hexadecimal digits at most; the sign is no digit.
  QTest::newRow("hex ninth digit refused") << Kind::Hex << "+FFFFFFFF0"
                                           << "+FFFFFFFF" << -1 << 1;
  QTest::newRow("dec ten digits taken") << Kind::Decimal << "2147483647"
                                        << "2147483647" << INT_MAX << 0;
}

void SpinEditTest::typingAcceptsOnlyNumberCharacters() {
  QFETCH(Kind, kind);
  QFETCH(QString, keys);
  QFETCH(QString, text);
  QFETCH(int, value);
  QFETCH(int, refused);
  auto field = MakeField(kind);
  QSignalSpy refusals(field.get(), &SpinEdit::Refused);
  field->Editor()->selectAll();
  QTest::keyClicks(field.get(), keys);
  QCOMPARE(field->text(), text);
  QCOMPARE(field->Value(), value);
  QCOMPARE(refusals.count(), refused);
}

void SpinEditTest::reformatKeepsTheCaret() {
  auto field = MakeField(Kind::HexReformat);
  field->Editor()->setText("ABC");
  field->Editor()->setCursorPosition(1);
  QTest::keyClicks(field.get(), "d");
  QCOMPARE(field->text(), QString("ADBC"));
  QCOMPARE(field->Editor()->cursorPosition(), 2);
  // A leading zero typed in front disappears; the caret stays put (clamped).
  field->Editor()->setCursorPosition(0);
  QTest::keyClicks(field.get(), "0");
  QCOMPARE(field->text(), QString("ADBC"));
  QCOMPARE(field->Editor()->cursorPosition(), 1);
}

void SpinEditTest::emptiedFieldReadsZero_data() {
  QTest::addColumn<Kind>("kind");
  QTest::addColumn<QString>("shown");
  QTest::newRow("decimal keeps it empty") << Kind::Decimal << "";
  QTest::newRow("hex keeps it empty") << Kind::Hex << "";
  QTest::newRow("reformat shows 0") << Kind::HexReformat << "0";
}

void SpinEditTest::emptiedFieldReadsZero() {
  QFETCH(Kind, kind);
  QFETCH(QString, shown);
  auto field = MakeField(kind);
  field->SetValue(0x1234);
  field->Editor()->selectAll();
  QTest::keyClick(field.get(), Qt::Key_Backspace);
  QCOMPARE(field->text(), shown);
  QCOMPARE(field->Value(), 0);
}

void SpinEditTest::upDownKeysStepByOneAndWrap_data() {
  QTest::addColumn<Kind>("kind");
  QTest::addColumn<QString>("start");
  QTest::addColumn<int>("key");
  QTest::addColumn<QString>("text");
  QTest::newRow("hex up carries") << Kind::Hex << "FF" << int(Qt::Key_Up) << "100";
  QTest::newRow("hex typed lower case") << Kind::Hex << "1a" << int(Qt::Key_Up) << "1B";
  QTest::newRow("hex down from 0 wraps")
      << Kind::HexReformat << "0" << int(Qt::Key_Down) << "FFFFFFFF";
  QTest::newRow("hex up from pattern max wraps")
      << Kind::Hex << "FFFFFFFF" << int(Qt::Key_Up) << "0";
  QTest::newRow("dec down") << Kind::Decimal << "-5" << int(Qt::Key_Down) << "-6";
  QTest::newRow("dec up from max wraps")
      << Kind::Decimal << "2147483647" << int(Qt::Key_Up) << "-2147483648";
  QTest::newRow("no number steps from 0") << Kind::Decimal << "1-" << int(Qt::Key_Up) << "1";
}

void SpinEditTest::upDownKeysStepByOneAndWrap() {
  QFETCH(Kind, kind);
  QFETCH(QString, start);
  QFETCH(int, key);
  QFETCH(QString, text);
  auto field = MakeField(kind);
  field->Editor()->setText(start);
  QTest::keyClick(field.get(), Qt::Key(key));
  QCOMPARE(field->text(), text);
}

void SpinEditTest::wheelAndArrowButtonsStep() {
  auto owned = MakeField(Kind::Decimal);
  auto* field = static_cast<ProbeSpinEdit*>(owned.get());
  field->show();
  QVERIFY(QTest::qWaitForWindowExposed(field));
  field->SetValue(10);

  const QPointF centre = QPointF(field->rect().center());
  QWheelEvent up(centre, field->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                 Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(field, &up);
  QCOMPARE(field->Value(), 11);
  QWheelEvent down(centre, field->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(field, &down);
  QApplication::sendEvent(field, &down);
  QCOMPARE(field->Value(), 9);

  QTest::mouseClick(field, Qt::LeftButton, Qt::NoModifier,
                    field->ArrowCentre(QStyle::SC_SpinBoxUp));
  QCOMPARE(field->Value(), 10);
  QTest::mouseClick(field, Qt::LeftButton, Qt::NoModifier,
                    field->ArrowCentre(QStyle::SC_SpinBoxDown));
  QTest::mouseClick(field, Qt::LeftButton, Qt::NoModifier,
                    field->ArrowCentre(QStyle::SC_SpinBoxDown));
  QCOMPARE(field->Value(), 8);
}

void SpinEditTest::pastedTextWithOtherCharactersIsRefused() {
  auto field = MakeField(Kind::Hex);
  field->SetValue(5);
  // insert() goes through the same check as a paste.
  field->Editor()->selectAll();
  field->Editor()->insert("0x10");
  QCOMPARE(field->text(), QString("5"));
  field->Editor()->selectAll();
  field->Editor()->insert("-10");
  QCOMPARE(field->Value(), -16);
  // Nine digits pasted are refused whole.
  field->Editor()->selectAll();
  field->Editor()->insert("123456789");
  QCOMPARE(field->Value(), -16);
}

void SpinEditTest::enterPressesTheDialogsDefaultButton() {
  QDialog dialog;
  auto* field = new SpinEdit(Base::Hexadecimal, &dialog);
  auto* button = new QPushButton("Go", &dialog);
  button->setDefault(true);
  QSignalSpy clicks(button, &QPushButton::clicked);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  field->setFocus();
  QTest::keyClick(field, Qt::Key_Return);
  QCOMPARE(clicks.count(), 1);
  QTest::keyClick(field, Qt::Key_Enter);
  QCOMPARE(clicks.count(), 2);
}

QTEST_MAIN(SpinEditTest)
#include "SpinEditTest.moc"
