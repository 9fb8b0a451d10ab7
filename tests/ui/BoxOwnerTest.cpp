// Every box belongs to the main window, whichever window is active: the
// message box, the prompt, the error box and the running-burner box are its
// transient children, so that a window manager keeps them above it.
#include <QApplication>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <functional>

#include "tests/support/TempDir.h"
#include "ui/BurnerRunDialog.h"
#include "ui/ErrorBox.h"
#include "ui/MessageForm.h"
#include "ui/Principal.h"
#include "ui/QtBurnerRunner.h"
#include "ui/TextPrompt.h"

using namespace velmorin;

class BoxOwnerTest : public QObject {
  Q_OBJECT

 private slots:
  void everyBoxBelongsToTheMainWindow_data();
  void everyBoxBelongsToTheMainWindow();
};

void BoxOwnerTest::everyBoxBelongsToTheMainWindow_data() {
  QTest::addColumn<int>("box");
  QTest::newRow("message box") << 0;
  QTest::newRow("prompt") << 1;
  QTest::newRow("error box") << 2;
  QTest::newRow("burner box") << 3;
}

void BoxOwnerTest::everyBoxBelongsToTheMainWindow() {
  QFETCH(int, box);
  test::TempDir dir;
  TFormPrincipal window(TFormPrincipal::Services{dir.File("velmorin.ini"), nullptr, nullptr});
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  // Another window has the focus, as another program's would.
  QWidget other;
  other.setWindowTitle(QStringLiteral("another window"));
  other.resize(200, 100);
  other.show();
  other.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&other));

  QPointer<QWidget> parent;
  QPointer<QWindow> transientParent;
  bool seen = false;
  QTimer poll;
  poll.setInterval(10);
  connect(&poll, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible() || modal->windowHandle() == nullptr) return;
    poll.stop();
    seen = true;
    parent = modal->parentWidget();
    transientParent = modal->windowHandle()->transientParent();
    if (auto* burnerBox = qobject_cast<TBurnerRunDialog*>(modal)) {
      burnerBox->Abort();
    } else {
      qobject_cast<QDialog*>(modal)->reject();
    }
  });
  poll.start();

  switch (box) {
    case 0:
      ShowMessageBox("Skeleton file not found.", BoxKind::Error, box_button::OK);
      break;
    case 1:
      PromptText("Velmorin", "Number to serialize", "0");
      break;
    case 2:
      ShowErrorBox("Unable to write to /tmp/velmorin.ini");
      break;
    default: {
      TQtBurnerRunner runner(&window, window.FPbSerialize);
      runner.Run("/bin/sh -c 'exec sleep 1000'", WindowShow::Hidden, BurnContext{2, 3, 1001});
    }
  }
  QVERIFY(seen);
  QCOMPARE(parent.data(), static_cast<QWidget*>(&window));
  QCOMPARE(transientParent.data(), window.windowHandle());
}

QTEST_MAIN(BoxOwnerTest)
#include "BoxOwnerTest.moc"
