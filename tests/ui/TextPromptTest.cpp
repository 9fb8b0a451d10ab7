// The text prompt driven through the keyboard.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <string>

#include "serialize/Operator.h"
#include "ui/TextPrompt.h"

using namespace velmorin;

namespace {

void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* focused = QApplication::focusWidget();
  QVERIFY2(focused, "no widget has the focus");
  QTest::keyClick(focused, key, modifiers);
}

void Type(const QString& text) {
  QWidget* focused = QApplication::focusWidget();
  QVERIFY2(focused, "no widget has the focus");
  QTest::keyClicks(focused, text);
}

// Runs PromptText; `drive` acts on the prompt once it is up and active.
std::string PromptDriven(const std::string& defaultText,
                         const std::function<void(TPromptForm&)>& drive) {
  QTimer::singleShot(0, qApp, [drive] {
    auto* form = qobject_cast<TPromptForm*>(QApplication::activeModalWidget());
    QVERIFY(form);
    QVERIFY(QTest::qWaitForWindowActive(form));
    drive(*form);
  });
  // A prompt the test forgot to close is closed, so a failing test cannot hang.
  QTimer::singleShot(5000, qApp, [] {
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
  return PromptText("Velmorin", "Number to serialize", defaultText);
}

}  // namespace

class TextPromptTest : public QObject {
  Q_OBJECT

 private slots:
  void opensWithTheDefaultSelectedAndFocused();
  void howTheBoxIsLeftDecidesTheText_data();
  void howTheBoxIsLeftDecidesTheText();
  void fieldTakesAtMost255Characters();
  void leavingWithoutOkReturnsTheDefaultByteForByte();
};

void TextPromptTest::opensWithTheDefaultSelectedAndFocused() {
  QString title, prompt, selected;
  QWidget* focused = nullptr;
  QLineEdit* edit = nullptr;
  bool okIsDefault = false;
  bool resizable = true;
  const std::string result = PromptDriven("0", [&](TPromptForm& form) {
    title = form.windowTitle();
    prompt = form.PromptLabel()->text();
    selected = form.Edit()->selectedText();
    focused = QApplication::focusWidget();
    edit = form.Edit();
    okIsDefault = form.OkButton()->isDefault();
    resizable = form.minimumSize() != form.maximumSize() ||
                (form.windowFlags() & Qt::WindowMaximizeButtonHint);
    form.close();
  });
  QCOMPARE(title, QStringLiteral("Velmorin"));
  QCOMPARE(prompt, QStringLiteral("Number to serialize"));
  QCOMPARE(selected, QStringLiteral("0"));
  QCOMPARE(focused, edit);
  QVERIFY(okIsDefault);
  QVERIFY(!resizable);
  QCOMPARE(result, std::string("0"));
}

void TextPromptTest::howTheBoxIsLeftDecidesTheText_data() {
  QTest::addColumn<QString>("how");
  QTest::addColumn<QString>("expected");
  // Typing replaces the selected default text.
  QTest::newRow("Enter") << "enter"
                         << "12";
  QTest::newRow("OK button") << "ok"
                             << "12";
  QTest::newRow("Escape") << "escape"
                          << "0";
  QTest::newRow("Cancel button") << "cancel"
                                 << "0";
  QTest::newRow("Enter on the focused Cancel") << "tab tab enter"
                                               << "0";
  QTest::newRow("close") << "close"
                         << "0";
  QTest::newRow("Enter on an empty field") << "clear enter"
                                           << "";
}

void TextPromptTest::howTheBoxIsLeftDecidesTheText() {
  QFETCH(QString, how);
  QFETCH(QString, expected);
  const std::string result = PromptDriven("0", [how](TPromptForm& form) {
    if (how.startsWith("clear")) {
      Press(Qt::Key_Delete);
    } else {
      Type(QStringLiteral("12"));
    }
    if (how == "enter" || how == "clear enter") Press(Qt::Key_Return);
    if (how == "ok") QTest::mouseClick(form.OkButton(), Qt::LeftButton);
    if (how == "escape") Press(Qt::Key_Escape);
    if (how == "cancel") QTest::mouseClick(form.CancelButton(), Qt::LeftButton);
    if (how == "tab tab enter") {
      Press(Qt::Key_Tab);
      Press(Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), form.CancelButton());
      Press(Qt::Key_Return);
    }
    if (how == "close") form.close();
  });
  QCOMPARE(QString::fromStdString(result), expected);
}

void TextPromptTest::fieldTakesAtMost255Characters() {
  const std::string result = PromptDriven("0", [](TPromptForm&) {
    Type(QString(300, u'7'));
    Press(Qt::Key_Return);
  });
  QCOMPARE(result, std::string(255, '7'));
}

void TextPromptTest::leavingWithoutOkReturnsTheDefaultByteForByte() {
  // Not valid UTF-8: a round trip through Qt would change it.
  const std::string odd = "caf\xE9";
  const std::string result = PromptDriven(odd, [](TPromptForm&) {
    Type(QStringLiteral("x"));
    Press(Qt::Key_Escape);
  });
  QCOMPARE(result, odd);
}

QTEST_MAIN(TextPromptTest)
#include "TextPromptTest.moc"
