// The message box driven through the keyboard as the operator would: every
// key arrives at the widget that really has the focus.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "MessageForm.h"
#include "Operator.h"

using namespace velmorin;

namespace {

// A box the test forgot to close ends with this, so a failing test cannot hang.
constexpr int kTimedOut = -100;

// Sends a key to whatever widget has the keyboard focus now.
void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* focused = QApplication::focusWidget();
  QVERIFY2(focused, "no widget has the focus");
  QTest::keyClick(focused, key, modifiers);
}

// Runs `form` modally; `drive` acts on it once it is up and active.
int ExecDriven(QDialog& form, const std::function<void(QDialog&)>& drive) {
  QTimer::singleShot(0, &form, [&form, drive] {
    if (!QTest::qWaitForWindowActive(&form)) qWarning("box never became active");
    drive(form);
  });
  QTimer::singleShot(5000, &form, [&form] {
    if (form.isVisible()) form.done(kTimedOut);
  });
  return form.exec();
}

QString FocusedCaption() {
  auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
  return button ? button->text() : QStringLiteral("<no button>");
}

}  // namespace

class MessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void enterEscapeAndCloseGiveTheTablesResults_data();
  void enterEscapeAndCloseGiveTheTablesResults();
  void tabAndArrowsMoveTheFocusAlongTheRow();
};

void MessageBoxTest::enterEscapeAndCloseGiveTheTablesResults_data() {
  QTest::addColumn<int>("buttons");
  QTest::addColumn<QString>("how");
  QTest::addColumn<int>("expected");
  const int yesNo = box_button::Yes | box_button::No;
  const int okCancel = box_button::OK | box_button::Cancel;
  const int ok = box_button::OK;
  QTest::newRow("Yes/No Enter") << yesNo << "enter" << int(mrYes);
  QTest::newRow("Yes/No Escape") << yesNo << "escape" << int(mrNo);
  QTest::newRow("Yes/No close") << yesNo << "close" << int(mrCancel);
  QTest::newRow("OK/Cancel Enter") << okCancel << "enter" << int(mrOk);
  QTest::newRow("OK/Cancel Escape") << okCancel << "escape" << int(mrCancel);
  QTest::newRow("OK/Cancel close") << okCancel << "close" << int(mrCancel);
  QTest::newRow("OK Enter") << ok << "enter" << int(mrOk);
  QTest::newRow("OK Escape") << ok << "escape" << int(mrOk);
  QTest::newRow("OK close") << ok << "close" << int(mrCancel);
}

void MessageBoxTest::enterEscapeAndCloseGiveTheTablesResults() {
  QFETCH(int, buttons);
  QFETCH(QString, how);
  QFETCH(int, expected);
  TMessageForm form(QStringLiteral("Prepare a chip in the burner, please."), BoxKind::Confirm,
                    static_cast<BoxButtons>(buttons));
  const int result = ExecDriven(form, [how](QDialog& box) {
    if (how == "enter") Press(Qt::Key_Return);
    if (how == "escape") Press(Qt::Key_Escape);
    if (how == "close") box.close();
  });
  QCOMPARE(result, expected);
}

void MessageBoxTest::tabAndArrowsMoveTheFocusAlongTheRow() {
  TMessageForm form(QStringLiteral("Question"), BoxKind::Confirm,
                    box_button::Yes | box_button::No | box_button::Cancel);
  QStringList seen;
  const int result = ExecDriven(form, [&seen](QDialog&) {
    seen << FocusedCaption();
    for (auto [key, modifiers] : {std::pair{Qt::Key_Tab, Qt::NoModifier},
                                  {Qt::Key_Tab, Qt::NoModifier},
                                  {Qt::Key_Tab, Qt::NoModifier},
                                  {Qt::Key_Backtab, Qt::ShiftModifier},
                                  {Qt::Key_Right, Qt::NoModifier},
                                  {Qt::Key_Down, Qt::NoModifier},
                                  {Qt::Key_Left, Qt::NoModifier},
                                  {Qt::Key_Up, Qt::NoModifier},
                                  {Qt::Key_Right, Qt::NoModifier},
                                  {Qt::Key_Right, Qt::NoModifier}}) {
      Press(key, modifiers);
      seen << FocusedCaption();
    }
    Press(Qt::Key_Return);  // presses the focused button, not the default one
  });
  // Both ways round the row wrap at its ends.
  QCOMPARE(seen, QStringList({"&Yes", "&No", "Cancel", "&Yes", "Cancel", "&Yes", "&No", "&Yes",
                              "Cancel", "&Yes", "&No"}));
  QCOMPARE(result, int(mrNo));
}

QTEST_MAIN(MessageBoxTest)
#include "MessageBoxTest.moc"
