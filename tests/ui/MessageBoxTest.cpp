// The message box driven through the keyboard as the operator would: every
// key arrives at the widget that really has the focus.
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "platform/system/TextEncoding.h"
#include "serialize/Operator.h"
#include "ui/BoxTextLabel.h"
#include "ui/MessageForm.h"

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
  void acceleratorLetterPressesItsButton_data();
  void acceleratorLetterPressesItsButton();
  void sharedAcceleratorMovesTheFocusInstead();
  void helpDoesNotCloseTheBox();
  void escapeWithoutACancelButtonDoesNothing();
  void defaultAndCancelButtonsFollowTheSet_data();
  void defaultAndCancelButtonsFollowTheSet();
  void buttonsStandInBitOrderWithTheirCaptionsAndOneWidth();
  void titleAndIconFollowTheKind_data();
  void titleAndIconFollowTheKind();
  void frameIsFixedAndTheBoxCentred();
  void longTextWrapsAtHalfTheScreenWidth();
  void coreTextIsConvertedAtTheBorder();
  void showMessageBoxRunsAModalBoxAndDestroysIt();
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

void MessageBoxTest::acceleratorLetterPressesItsButton_data() {
  QTest::addColumn<int>("buttons");
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("modifiers");
  QTest::addColumn<int>("expected");
  const int yesNo = box_button::Yes | box_button::No;
  const int toAll = box_button::Yes | box_button::No | box_button::NoToAll;
  const int ari = box_button::Abort | box_button::Retry | box_button::Ignore;
  QTest::newRow("N") << yesNo << int(Qt::Key_N) << int(Qt::NoModifier) << int(mrNo);
  QTest::newRow("Shift+N") << yesNo << int(Qt::Key_N) << int(Qt::ShiftModifier) << int(mrNo);
  QTest::newRow("Alt+N") << yesNo << int(Qt::Key_N) << int(Qt::AltModifier) << int(mrNo);
  QTest::newRow("Y") << yesNo << int(Qt::Key_Y) << int(Qt::NoModifier) << int(mrYes);
  QTest::newRow("O of N&o to All")
      << toAll << int(Qt::Key_O) << int(Qt::NoModifier) << int(mrNoToAll);
  QTest::newRow("I") << ari << int(Qt::Key_I) << int(Qt::NoModifier) << int(mrIgnore);
  QTest::newRow("R") << ari << int(Qt::Key_R) << int(Qt::NoModifier) << int(mrRetry);
}

void MessageBoxTest::acceleratorLetterPressesItsButton() {
  QFETCH(int, buttons);
  QFETCH(int, key);
  QFETCH(int, modifiers);
  QFETCH(int, expected);
  TMessageForm form(QStringLiteral("Question"), BoxKind::Confirm, static_cast<BoxButtons>(buttons));
  const int result = ExecDriven(
      form, [&](QDialog&) { Press(static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers)); });
  QCOMPARE(result, expected);
}

void MessageBoxTest::sharedAcceleratorMovesTheFocusInstead() {
  // "&All" and "Yes to &All" share their letter.
  TMessageForm form(QStringLiteral("Replace?"), BoxKind::Confirm,
                    box_button::Yes | box_button::All | box_button::YesToAll);
  QStringList seen;
  const int result = ExecDriven(form, [&seen](QDialog& box) {
    for (int i = 0; i < 3; ++i) {
      Press(Qt::Key_A);
      seen << FocusedCaption();
    }
    QVERIFY(box.isVisible());
    Press(Qt::Key_Return);
  });
  QCOMPARE(seen, QStringList({"&All", "Yes to &All", "&All"}));
  QCOMPARE(result, int(mrAll));
}

void MessageBoxTest::helpDoesNotCloseTheBox() {
  TMessageForm form(QStringLiteral("Information"), BoxKind::Information,
                    box_button::OK | box_button::Help);
  bool openAfterHelp = false;
  QString focusedForEnter;
  const int result = ExecDriven(form, [&](QDialog& box) {
    auto& message = static_cast<TMessageForm&>(box);
    QTest::mouseClick(message.Buttons().last(), Qt::LeftButton);  // takes the focus too
    Press(Qt::Key_H);
    focusedForEnter = FocusedCaption();
    Press(Qt::Key_Return);
    openAfterHelp = box.isVisible();
    Press(Qt::Key_Escape);
  });
  QCOMPARE(focusedForEnter, QStringLiteral("&Help"));
  QVERIFY(openAfterHelp);
  QCOMPARE(result, int(mrOk));
}

void MessageBoxTest::escapeWithoutACancelButtonDoesNothing() {
  TMessageForm form(QStringLiteral("Disk error"), BoxKind::Error,
                    box_button::Abort | box_button::Retry | box_button::Ignore);
  bool openAfterEscape = false;
  const int result = ExecDriven(form, [&openAfterEscape](QDialog& box) {
    Press(Qt::Key_Escape);
    openAfterEscape = box.isVisible();
    box.close();
  });
  QVERIFY(openAfterEscape);
  QCOMPARE(result, int(mrCancel));
}

void MessageBoxTest::defaultAndCancelButtonsFollowTheSet_data() {
  QTest::addColumn<int>("buttons");
  QTest::addColumn<int>("defaultResult");  // -1: no such button
  QTest::addColumn<int>("cancelResult");
  using namespace box_button;
  QTest::newRow("Yes No") << int(Yes | No) << int(mrYes) << int(mrNo);
  QTest::newRow("OK") << int(OK) << int(mrOk) << int(mrOk);
  QTest::newRow("OK Cancel") << int(OK | Cancel) << int(mrOk) << int(mrCancel);
  QTest::newRow("Yes No Cancel") << int(Yes | No | Cancel) << int(mrYes) << int(mrCancel);
  QTest::newRow("Yes No OK") << int(Yes | No | OK) << int(mrOk) << int(mrNo);
  QTest::newRow("Retry Cancel") << int(Retry | Cancel) << int(mrRetry) << int(mrCancel);
  QTest::newRow("Abort Retry Ignore") << int(Abort | Retry | Ignore) << int(mrRetry) << -1;
  QTest::newRow("Abort Ignore") << int(Abort | Ignore) << -1 << -1;
  QTest::newRow("No OK") << int(No | OK) << int(mrOk) << int(mrNo);
  QTest::newRow("none") << 0 << -1 << -1;
}

void MessageBoxTest::defaultAndCancelButtonsFollowTheSet() {
  QFETCH(int, buttons);
  QFETCH(int, defaultResult);
  QFETCH(int, cancelResult);
  TMessageForm form(QStringLiteral("Text"), BoxKind::Confirm, static_cast<BoxButtons>(buttons));
  QCOMPARE(form.DefaultButton(), defaultResult < 0 ? nullptr : form.ButtonFor(defaultResult));
  QCOMPARE(form.CancelButton(), cancelResult < 0 ? nullptr : form.ButtonFor(cancelResult));
  if (form.DefaultButton()) QVERIFY(form.DefaultButton()->isDefault());
}

void MessageBoxTest::buttonsStandInBitOrderWithTheirCaptionsAndOneWidth() {
  TMessageForm form(QStringLiteral("All of them"), BoxKind::Custom, 0x7FF);
  QStringList captions;
  for (const QPushButton* button : form.Buttons()) captions << button->text();
  QCOMPARE(captions, QStringList({"&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore",
                                  "&All", "N&o to All", "Yes to &All", "&Help"}));
  const TModalResult results[] = {mrYes,    mrNo,  mrOk,      mrCancel,   mrAbort, mrRetry,
                                  mrIgnore, mrAll, mrNoToAll, mrYesToAll, mrNone};
  for (int i = 0; i < 11; ++i) QCOMPARE(form.ButtonFor(results[i]), form.Buttons()[i]);

  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  int left = -1;
  for (const QPushButton* button : form.Buttons()) {
    QCOMPARE(button->width(), form.Buttons().first()->width());
    QCOMPARE(button->y(), form.Buttons().first()->y());
    QVERIFY(button->x() > left);  // one row, left to right
    QVERIFY(button->width() >= button->sizeHint().width());
    left = button->x();
  }
  // Yes first and with the focus; the row lies below the text.
  QCOMPARE(QApplication::focusWidget(), form.Buttons().first());
  QVERIFY(form.Buttons().first()->y() >= form.TextLabel()->geometry().bottom());
}

void MessageBoxTest::titleAndIconFollowTheKind_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("title");
  QTest::addColumn<int>("icon");  // -1: none
  QTest::newRow("Warning") << int(BoxKind::Warning) << "Warning"
                           << int(QStyle::SP_MessageBoxWarning);
  QTest::newRow("Error") << int(BoxKind::Error) << "Error" << int(QStyle::SP_MessageBoxCritical);
  QTest::newRow("Information") << int(BoxKind::Information) << "Information"
                               << int(QStyle::SP_MessageBoxInformation);
  QTest::newRow("Confirm") << int(BoxKind::Confirm) << "Confirm"
                           << int(QStyle::SP_MessageBoxQuestion);
  QTest::newRow("Custom") << int(BoxKind::Custom) << "Velmorin" << -1;
}

void MessageBoxTest::titleAndIconFollowTheKind() {
  QFETCH(int, kind);
  QFETCH(QString, title);
  QFETCH(int, icon);
  TMessageForm form(QStringLiteral("Text"), static_cast<BoxKind>(kind), box_button::OK);
  QCOMPARE(form.windowTitle(), title);
  if (icon < 0) {
    QVERIFY(form.IconLabel() == nullptr);
    return;
  }
  QVERIFY(form.IconLabel() != nullptr);
  const int size = form.style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
  const QImage expected = form.style()
                              ->standardIcon(static_cast<QStyle::StandardPixmap>(icon))
                              .pixmap(size, size)
                              .toImage();
  QVERIFY(!expected.isNull());
  QCOMPARE(form.IconLabel()->pixmap().toImage(), expected);
}

void MessageBoxTest::frameIsFixedAndTheBoxCentred() {
  TMessageForm form(QStringLiteral("Image serialized OK."), BoxKind::Information, box_button::OK);
  const Qt::WindowFlags flags = form.windowFlags();
  QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
  QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  QVERIFY(form.isModal());
  QCOMPARE(form.windowModality(), Qt::ApplicationModal);
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QCOMPARE(form.minimumSize(), form.maximumSize());
  QCOMPARE(form.size(), form.minimumSize());
  const QPoint screenCentre = form.screen()->availableGeometry().center();
  const QPoint boxCentre = form.frameGeometry().center();
  QVERIFY2((boxCentre - screenCentre).manhattanLength() <= 2,
           qPrintable(QStringLiteral("box centre %1,%2, screen centre %3,%4")
                          .arg(boxCentre.x())
                          .arg(boxCentre.y())
                          .arg(screenCentre.x())
                          .arg(screenCentre.y())));
}

void MessageBoxTest::longTextWrapsAtHalfTheScreenWidth() {
  QString text;
  for (int i = 0; i < 60; ++i) text += QStringLiteral("serial number ");
  TMessageForm longForm(text.trimmed(), BoxKind::Information, box_button::OK);
  TMessageForm shortForm(QStringLiteral("Image serialized OK."), BoxKind::Information,
                         box_button::OK);
  const int halfScreen = QGuiApplication::primaryScreen()->geometry().width() / 2;
  const int lineHeight = longForm.TextLabel()->fontMetrics().height();
  QVERIFY(longForm.TextLabel()->width() <= halfScreen);
  QVERIFY(longForm.TextLabel()->width() > halfScreen * 3 / 4);  // uses the room it has
  QVERIFY(longForm.TextLabel()->height() >= 3 * lineHeight);
  QVERIFY(shortForm.TextLabel()->width() < halfScreen);
  QVERIFY(shortForm.TextLabel()->height() < 2 * lineHeight);
  // Nothing of the text is cut off.
  QVERIFY(longForm.TextLabel()->height() >=
          longForm.TextLabel()->heightForWidth(longForm.TextLabel()->width()));

  // A path segment wider than the box is broken inside, so that the drawn
  // lines hold every character, each line within the label.
  for (const QString& message :
       {QStringLiteral("Unable to write to /tmp/%1/velmorin.ini.").arg(QString(324, u'd')),
        QStringLiteral("%1\nsecond line").arg(QString(400, u'x'))}) {
    TMessageForm pathForm(message, BoxKind::Error, box_button::OK);
    const auto* label = qobject_cast<const TBoxTextLabel*>(pathForm.TextLabel());
    QVERIFY(label != nullptr);
    QVERIFY(label->width() <= halfScreen);
    const QStringList lines = label->Lines();
    QCOMPARE(lines.join(QString()), QString(message).remove(u'\n'));
    QVERIFY(lines.size() >= 3);
    for (const QString& line : lines) {
      QVERIFY2(label->fontMetrics().horizontalAdvance(line.trimmed()) <= label->width(),
               qPrintable(line));
    }
    QVERIFY(label->height() >= label->heightForWidth(label->width()));
  }
}

void MessageBoxTest::coreTextIsConvertedAtTheBorder() {
  // The core's texts are in its own encoding: UTF-8 ("\xC2\xBF" is the
  // inverted question mark), on Windows the ANSI code page ("\xBF").
  const std::string question = "Skeleton info has been modified, " +
                               std::string(InvertedQuestionMark()) + "save?\r\nline two";
  QTimer::singleShot(0, qApp, [] {
    auto* form = qobject_cast<TMessageForm*>(QApplication::activeModalWidget());
    QVERIFY(form);
    const QString shown = form->TextLabel()->text();
    form->done(shown == QString::fromUtf8("Skeleton info has been modified, \u00BFsave?\nline two")
                   ? mrYes
                   : mrAbort);
  });
  const TModalResult result =
      ShowMessageBox(question, BoxKind::Confirm, box_button::Yes | box_button::No);
  QCOMPARE(result, mrYes);
}

void MessageBoxTest::showMessageBoxRunsAModalBoxAndDestroysIt() {
  QPointer<QWidget> box;
  QString title;
  QTimer::singleShot(0, qApp, [&] {
    box = QApplication::activeModalWidget();
    QVERIFY(box);
    QVERIFY(QTest::qWaitForWindowActive(box));
    title = box->windowTitle();
    Press(Qt::Key_Escape);
  });
  QTimer::singleShot(5000, qApp, [] {
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
  const TModalResult result = ShowMessageBox("Prepare a chip in the burner, please.",
                                             BoxKind::Confirm, box_button::OK | box_button::Cancel);
  QCOMPARE(result, mrCancel);
  QCOMPARE(title, QStringLiteral("Confirm"));
  QVERIFY(box.isNull());  // destroyed before the call returned
  QVERIFY(QApplication::activeModalWidget() == nullptr);
}

QTEST_MAIN(MessageBoxTest)
#include "MessageBoxTest.moc"
