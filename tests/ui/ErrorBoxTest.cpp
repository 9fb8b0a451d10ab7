// The error box, and the guard through which every window handler runs.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QtTest>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "ui/ErrorBox.h"
#include "ui/ErrorGuard.h"
#include "ui/MessageForm.h"

using namespace velmorin;

namespace {

struct ShownBox {
  QString title;
  QString text;
  QStringList buttons;
  QImage icon;
};

// Records the box that comes up next and closes it with Escape.
void RecordNextBox(ShownBox& shown) {
  QTimer::singleShot(0, qApp, [&shown] {
    auto* form = qobject_cast<TMessageForm*>(QApplication::activeModalWidget());
    QVERIFY(form);
    QVERIFY(QTest::qWaitForWindowActive(form));
    shown.title = form->windowTitle();
    shown.text = form->TextLabel()->text();
    for (const QPushButton* button : form->Buttons()) shown.buttons << button->text();
    if (form->IconLabel()) shown.icon = form->IconLabel()->pixmap().toImage();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  });
  QTimer::singleShot(5000, qApp, [] {
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
}

QImage StopIcon() {
  QStyle* style = QApplication::style();
  const int size = style->pixelMetric(QStyle::PM_MessageBoxIconSize);
  return style->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(size, size).toImage();
}

// Replaces the error box by a list for the life of a test.
class RecordedErrors {
 public:
  RecordedErrors() {
    SetErrorReporter([this](const std::string& message) { messages.push_back(message); });
  }
  ~RecordedErrors() { SetErrorReporter({}); }
  std::vector<std::string> messages;
};

}  // namespace

class ErrorBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void errorBoxShowsTitleStopIconOkAndTheFullStop_data();
  void errorBoxShowsTitleStopIconOkAndTheFullStop();
  void guardShowsWhatEndedTheBody_data();
  void guardShowsWhatEndedTheBody();
  void guardLetsABodyRunToItsEnd();
  void guardSwallowsAReporterThatFails();
  void guardOpensTheRealErrorBox();
};

void ErrorBoxTest::errorBoxShowsTitleStopIconOkAndTheFullStop_data() {
  QTest::addColumn<QString>("message");
  QTest::addColumn<QString>("shown");
  QTest::newRow("letter") << "Invalid checksum"
                          << "Invalid checksum.";
  QTest::newRow("closing bracket") << "Record type not supported (06)"
                                   << "Record type not supported (06)";
  QTest::newRow("full stop") << "Skeleton file not found."
                             << "Skeleton file not found.";
  QTest::newRow("empty quoted text") << "'' is not a valid integer value"
                                     << "'' is not a valid integer value.";
}

void ErrorBoxTest::errorBoxShowsTitleStopIconOkAndTheFullStop() {
  QFETCH(QString, message);
  QFETCH(QString, shown);
  ShownBox box;
  RecordNextBox(box);
  ShowErrorBox(message.toStdString());
  QCOMPARE(box.title, QStringLiteral("Velmorin"));
  QCOMPARE(box.text, shown);
  QCOMPARE(box.buttons, QStringList({"OK"}));
  QVERIFY(!box.icon.isNull());
  QCOMPARE(box.icon, StopIcon());
}

void ErrorBoxTest::guardShowsWhatEndedTheBody_data() {
  QTest::addColumn<int>("what");
  QTest::addColumn<QStringList>("shown");  // empty: nothing shown
  QTest::newRow("EAbort") << 0 << QStringList();
  QTest::newRow("EConvertError") << 1 << QStringList({"'x' is not a valid integer value"});
  QTest::newRow("EInOutError") << 2 << QStringList({"Invalid filename"});
  QTest::newRow("bad_alloc") << 3 << QStringList({"Out of memory"});
  QTest::newRow("runtime_error") << 4 << QStringList({"disk on fire"});
  QTest::newRow("not an exception class") << 5 << QStringList({"Unknown error"});
}

void ErrorBoxTest::guardShowsWhatEndedTheBody() {
  QFETCH(int, what);
  QFETCH(QStringList, shown);
  RecordedErrors errors;
  bool afterThrow = false;
  const bool completed = RunGuarded([&] {
    switch (what) {
      case 0:
        throw EAbort();
      case 1:
        throw EConvertError("'x' is not a valid integer value");
      case 2:
        throw EInOutError(io_code::InvalidFilename);
      case 3:
        throw std::bad_alloc();
      case 4:
        throw std::runtime_error("disk on fire");
      default:
        throw 42;
    }
    afterThrow = true;
  });
  QVERIFY(!completed);
  QVERIFY(!afterThrow);
  QStringList recorded;
  for (const std::string& m : errors.messages) recorded << QString::fromStdString(m);
  QCOMPARE(recorded, shown);
}

void ErrorBoxTest::guardLetsABodyRunToItsEnd() {
  RecordedErrors errors;
  int runs = 0;
  QVERIFY(RunGuarded([&] { ++runs; }));
  QCOMPARE(runs, 1);
  QVERIFY(errors.messages.empty());
}

void ErrorBoxTest::guardSwallowsAReporterThatFails() {
  SetErrorReporter([](const std::string&) { throw std::bad_alloc(); });
  bool completed = true;
  try {
    completed = RunGuarded([] { throw EConvertError("'' is not a valid integer value"); });
  } catch (...) {
    QFAIL("an exception left the guard");
  }
  SetErrorReporter({});
  QVERIFY(!completed);
}

void ErrorBoxTest::guardOpensTheRealErrorBox() {
  ShownBox box;
  RecordNextBox(box);
  RunGuarded([] { throw EConvertError("'' is not a valid integer value"); });
  QCOMPARE(box.title, QStringLiteral("Velmorin"));
  QCOMPARE(box.text, QStringLiteral("'' is not a valid integer value."));
  QCOMPARE(box.icon, StopIcon());
}

QTEST_MAIN(ErrorBoxTest)
#include "ErrorBoxTest.moc"
