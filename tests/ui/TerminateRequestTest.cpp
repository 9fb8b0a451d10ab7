// SIGTERM closes the main window as Exit does: the selection is stored and the
// handler is gone again with the watcher. POSIX only: Windows ends a program
// with messages to its windows, not SIGTERM, so CMake builds this for POSIX.
#include <QComboBox>
#include <QtTest>
#include <csignal>
#include <memory>

#include "platform/ini/IniFile.h"
#include "tests/support/TempDir.h"
#include "ui/Principal.h"
#include "ui/TerminateRequest.h"

using namespace velmorin;
using velmorin::test::TempDir;

class TerminateRequestTest : public QObject {
  Q_OBJECT

 private slots:
  void sigtermClosesTheWindowAndStoresTheSelection();
};

namespace {
bool SigtermIsDefault() {
  struct sigaction current {};
  ::sigaction(SIGTERM, nullptr, &current);
  return current.sa_handler == SIG_DFL;
}
}  // namespace

void TerminateRequestTest::sigtermClosesTheWindowAndStoresTheSelection() {
  TempDir dir;
  const std::string ini = dir.File("velmorin.ini");
  test::WriteFileBytes(ini,
                       "[/boards/a.hex]\r\nNextSeqNum=1\r\n[/boards/b.hex]\r\nNextSeqNum=2\r\n"
                       "[Options]\r\nDefaultImg=0\r\n");
  auto window = std::make_unique<TFormPrincipal>(TFormPrincipal::Services{ini});
  window->show();
  QCOMPARE(window->FCbSkelFile->currentIndex(), 0);
  window->FCbSkelFile->setCurrentIndex(1);
  {
    TerminateRequest terminate(*window);
    QVERIFY(!SigtermIsDefault());
    ::raise(SIGTERM);
    QTRY_VERIFY(!window->isVisible());
    QCOMPARE(IniFile(ini).ReadInteger("Options", "DefaultImg", -1), 1);
  }
  QVERIFY(SigtermIsDefault());
}

QTEST_MAIN(TerminateRequestTest)
#include "TerminateRequestTest.moc"
