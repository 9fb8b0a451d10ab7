// The running-burner box against real children: output shown live, Abort that
// leaves no process behind, a flood that changes nothing for memory or for
// the window, "Hide", exit codes, and Abort in the middle of a batch started
// from the main window. On Windows the burner is a small program of ours that
// takes its steps as arguments.
#ifdef _WIN32  // each system's calls for processes and their memory
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include "tests/support/ProcessGoneWin.h"
#else
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "platform/process/CommandLine.h"
#include "serialize/Operator.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TempDir.h"
#include "ui/BurnerRunDialog.h"
#include "ui/ErrorGuard.h"
#include "ui/FileChooser.h"
#include "ui/Principal.h"
#include "ui/QtBurnerRunner.h"

using namespace velmorin;
using velmorin::test::ScriptedOperator;
using velmorin::test::TempDir;
using velmorin::test::WriteFileBytes;

namespace {

#ifdef _WIN32  // the burner: our step program (no shell to script one with), or a shell script
using pid_t = ProcessId;

// Our step burner with `steps` as its arguments, quoted where they hold blanks.
std::string Steps(std::initializer_list<std::string> steps) {
  std::string line = VELMORIN_STEP_BURNER;
  for (const std::string& step : steps) {
    line += step.find(' ') == std::string::npos ? " " + step : " \"" + step + "\"";
  }
  return line;
}

using velmorin::test::ProcessGone;

long ResidentKiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<long>(counters.WorkingSetSize / 1024);
}
#else
// A burner made of a shell script: no shell reads our command line, but the
// script is the test's to write.
std::string Sh(const std::string& script) {
  return "/bin/sh -c " + QuoteArgument(script);
}

// Waits in the script until `file` exists, so that the test decides when the
// burner goes on rather than a clock.
std::string WaitFor(const std::string& file) {
  return "while [ ! -e " + QuoteArgument(file) + " ]; do sleep 0.02; done; ";
}

#endif

void Touch(const std::string& path) {
  std::ofstream(path) << "";
}

TBurnerRunDialog* OpenBox() {
  return qobject_cast<TBurnerRunDialog*>(QApplication::activeModalWidget());
}

QString Output(const TBurnerRunDialog& box) {
  return box.OutputView() != nullptr ? box.OutputView()->toPlainText() : QString();
}

#ifndef _WIN32  // /proc tells a POSIX process's descriptors, state and memory
// What the child's descriptor 1 is: "/dev/null", "pipe:[...]", ...
std::string StandardOutputOf(ProcessId pid) {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/fd/1", error).string();
}

// A process is gone when no entry is left, or only a zombie waiting for the
// parent it was handed to (it runs no more and holds nothing).
bool ProcessGone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return ::kill(pid, 0) != 0 && errno == ESRCH;
  std::string line;
  std::getline(stat, line);
  const std::size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() &&
         (line[close + 2] == 'Z' || line[close + 2] == 'X');
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}
#endif

// Under AddressSanitizer freed memory stays resident in its quarantine, so the
// resident size says nothing about what the box keeps.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentSizeTells = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kResidentSizeTells = false;
#else
constexpr bool kResidentSizeTells = true;
#endif
#else
constexpr bool kResidentSizeTells = true;
#endif

// Calls `check` with the box once it is open and running; whatever `check`
// does, a box still open ten seconds afterwards is aborted, so a failing check
// never leaves the test waiting for a burner that does not end.
void WhenBoxOpens(std::function<void(TBurnerRunDialog&)> check,
                  std::function<bool(TBurnerRunDialog&)> which = {}) {
  auto* poll = new QTimer;
  poll->setInterval(10);
  auto deadline = std::make_shared<QElapsedTimer>();
  deadline->start();
  QObject::connect(poll, &QTimer::timeout, [poll, deadline, check, which] {
    TBurnerRunDialog* box = OpenBox();
    if (box == nullptr || box->Finished() || (which && !which(*box))) {
      if (deadline->elapsed() > 20000) {
        poll->deleteLater();
        QFAIL("the running-burner box never opened");
      }
      return;
    }
    poll->stop();
    poll->deleteLater();
    QPointer<TBurnerRunDialog> guard(box);
    check(*box);
    // A burner the check let go gets time to end by itself.
    QElapsedTimer grace;
    grace.start();
    while (guard && !guard->Finished() && grace.elapsed() < 10000) QTest::qWait(10);
    if (guard && !guard->Finished()) guard->Abort();
  });
  poll->start();
}

// When the first running-burner box was shown, in ms after `clock` started;
// -1 while none was.
class BoxShowWatcher : public QObject {
 public:
  explicit BoxShowWatcher(const QElapsedTimer& clock) : FClock(clock) {
    qApp->installEventFilter(this);
  }
  ~BoxShowWatcher() override { qApp->removeEventFilter(this); }
  qint64 shownAt = -1;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && shownAt < 0 &&
        qobject_cast<TBurnerRunDialog*>(watched) != nullptr) {
      shownAt = FClock.elapsed();
    }
    return false;
  }

 private:
  const QElapsedTimer& FClock;
};

#ifndef _WIN32  // zombies are POSIX's
// Our children that have ended and wait to be reaped.
std::vector<pid_t> OurZombies() {
  std::vector<pid_t> zombies;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    std::istringstream fields(line.substr(line.rfind(')') + 1));
    char state = 0;
    pid_t parent = 0;
    if (fields >> state >> parent && parent == ::getpid() && state == 'Z') {
      zombies.push_back(std::stoi(name));
    }
  }
  return zombies;
}
#endif

}  // namespace

class BurnerRunTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void showsOutputLiveNewestInView();
  void hideShowsNoOutput();
  void endsByItselfJudgedByExitCode_data();
  void endsByItselfJudgedByExitCode();
  void abortEndsBurnerAndWhatItStarted_data();
  void abortEndsBurnerAndWhatItStarted();
  void escapeAndCloseBoxAbortButEnterDoesNot_data();
  void escapeAndCloseBoxAbortButEnterDoesNot();
  void floodKeepsMemoryBoundedAndWindowResponsive_data();
  void floodKeepsMemoryBoundedAndWindowResponsive();
  void abortStopsABatchAtThatImage();
  void boxAppearsOnlyForABurnerThatTakesItsTime_data();
  void boxAppearsOnlyForABurnerThatTakesItsTime();
  void abortEndsWhatTheBurnerDetached_data();
  void abortEndsWhatTheBurnerDetached();
  void burnerThatEndsLeavesItsDaemonAndNoZombie();
  void contextNamesTheImageAndItsSerial_data();
  void contextNamesTheImageAndItsSerial();
  void placementKeepsTheProgressBarInSight_data();
  void placementKeepsTheProgressBarInSight();

 private:
  std::unique_ptr<TempDir> FDir;
  QWidget* FWindow = nullptr;
  // Aborts any box left open for long, so that a failing test ends and
  // leaves no burner behind.
  QTimer* FWatchdog = nullptr;
};

void BurnerRunTest::init() {
  FDir = std::make_unique<TempDir>();
  FWindow = new QWidget;
  FWindow->resize(200, 100);
  FWindow->show();
  FWatchdog = new QTimer;
  FWatchdog->setInterval(500);
  auto seen = std::make_shared<std::pair<QPointer<TBurnerRunDialog>, QElapsedTimer>>();
  connect(FWatchdog, &QTimer::timeout, [seen] {
    TBurnerRunDialog* box = OpenBox();
    if (box != seen->first) {
      seen->first = box;
      seen->second.start();
    } else if (box != nullptr && seen->second.elapsed() > 30000) {
      qWarning("aborting a box left open");
      box->Abort();
    }
  });
  FWatchdog->start();
}

void BurnerRunTest::cleanup() {
  delete FWatchdog;
  FWatchdog = nullptr;
  delete FWindow;
  FWindow = nullptr;
  FDir.reset();
}

void BurnerRunTest::showsOutputLiveNewestInView() {
  const std::string go = FDir->File("go");
#ifdef _WIN32  // the burner: steps of ours on Windows, a shell script on POSIX
  const std::string command =
      Steps({"lines:200:line", "waitfor:" + go, "err:to stderr", "say:last"});
#else
  const std::string command = Sh("i=1; while [ $i -le 200 ]; do echo line $i; i=$((i+1)); done; " +
                                 WaitFor(go) + "echo 'to stderr' >&2; echo last");
#endif
  TQtBurnerRunner runner(FWindow);
  bool checked = false;
  WhenBoxOpens([&](TBurnerRunDialog& box) {
    QCOMPARE(box.windowTitle(), QString("Velmorin"));
    QCOMPARE(box.CommandView()->text(), QString::fromStdString(command));
    QVERIFY(box.CommandView()->isReadOnly());
    QCOMPARE(box.AbortButton()->text(), QString("&Abort"));
    QVERIFY(box.isModal());
#ifndef _WIN32  // where output goes is a descriptor on POSIX
    QVERIFY(StandardOutputOf(box.BurnerId()).rfind("pipe:", 0) == 0);
#endif
    // The lines are there while the burner still waits.
    QTRY_VERIFY(Output(box).contains("line 200"));
    QVERIFY(!box.Finished());
    QVERIFY(!Output(box).contains("to stderr"));
    QVERIFY(Output(box).startsWith("line 1\nline 2\n"));
    // The newest line is in view.
    QScrollBar* bar = box.OutputView()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QTRY_COMPARE(bar->value(), bar->maximum());
    Touch(go);
    QTRY_VERIFY(box.Finished());
    // Standard error comes in the same stream, and nothing after the end is lost.
    QVERIFY(Output(box).endsWith("to stderr\nlast\n"));
    checked = true;
  });
  QCOMPARE(runner.Run(command, WindowShow::Normal, {}).ExitCode, 0u);
  QVERIFY(checked);
  QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void BurnerRunTest::hideShowsNoOutput() {
  const std::string go = FDir->File("go");
#ifdef _WIN32  // the burner: steps of ours on Windows, a shell script on POSIX
  const std::string startup = FDir->File("startup");
  const std::string command =
      Steps({"say:secret", "err:secret", "show:" + startup, "waitfor:" + go, "exit:0"});
#else
  const std::string command = Sh("echo secret; echo secret >&2; " + WaitFor(go) + "exit 0");
#endif
  TQtBurnerRunner runner(FWindow);
  bool checked = false;
  WhenBoxOpens([&](TBurnerRunDialog& box) {
    QVERIFY(box.OutputView() == nullptr);
    QVERIFY(box.findChildren<QPlainTextEdit*>().isEmpty());
#ifdef _WIN32  // hidden is SW_HIDE on Windows, output to /dev/null on POSIX
    // Started hidden: STARTF_USESHOWWINDOW with SW_HIDE.
    QTRY_VERIFY(std::filesystem::exists(startup));
    QTRY_COMPARE(velmorin::test::ReadFileBytes(startup), std::string("flags 1 show 0\n"));
#else
    // Its output goes nowhere, as with ExecAndWait.
    QTRY_COMPARE(StandardOutputOf(box.BurnerId()), std::string("/dev/null"));
#endif
    QTest::qWait(100);
    for (const QLabel* label : box.findChildren<QLabel*>())
      QVERIFY(!label->text().contains("secret"));
    QCOMPARE(box.CommandView()->text(), QString::fromStdString(command));
    QVERIFY(box.StatusLabel()->text().contains("running"));
    Touch(go);
    checked = true;
  });
  QCOMPARE(runner.Run(command, WindowShow::Hidden, {}).ExitCode, 0u);
  QVERIFY(checked);
}

void BurnerRunTest::endsByItselfJudgedByExitCode_data() {
  QTest::addColumn<QString>("commandLine");
  QTest::addColumn<bool>("hidden");
  QTest::addColumn<quint32>("expected");
#ifdef _WIN32  // steps of ours or a shell script; a signal only on POSIX
  QTest::newRow("0") << QString::fromStdString(Steps({"say:done", "exit:0"})) << false << 0u;
  QTest::newRow("7") << QString::fromStdString(Steps({"err:failed", "exit:7"})) << false << 7u;
  QTest::newRow("7 hidden") << QString::fromStdString(Steps({"exit:7"})) << true << 7u;
  QTest::newRow("0xFFFFFFFF") << QString::fromStdString(Steps({"exit:0xFFFFFFFF"})) << false
                              << quint32(kExecFailed);
#else
  QTest::newRow("0") << QString::fromStdString(Sh("echo done; exit 0")) << false << 0u;
  QTest::newRow("7") << QString::fromStdString(Sh("echo failed >&2; exit 7")) << false << 7u;
  QTest::newRow("7 hidden") << QString::fromStdString(Sh("exit 7")) << true << 7u;
  QTest::newRow("killed by a signal")
      << QString::fromStdString(Sh("kill -9 $$")) << false << quint32(kExecFailed);
#endif
  QTest::newRow("no such program")
      << QString("/nonexistent/burner $image") << false << quint32(kExecFailed);
  QTest::newRow("empty line") << QString("   ") << true << quint32(kExecFailed);
}

void BurnerRunTest::endsByItselfJudgedByExitCode() {
  QFETCH(QString, commandLine);
  QFETCH(bool, hidden);
  const WindowShow show = hidden ? WindowShow::Hidden : WindowShow::Normal;
  QFETCH(quint32, expected);
  // A box that would stay open is aborted, and then the result is wrong.
  auto* watchdog = new QTimer(this);
  watchdog->setSingleShot(true);
  connect(watchdog, &QTimer::timeout, [] {
    if (TBurnerRunDialog* box = OpenBox()) box->Abort();
  });
  watchdog->start(10000);
  QElapsedTimer clock;
  clock.start();
  TQtBurnerRunner runner(FWindow);
  QCOMPARE(runner.Run(commandLine.toStdString(), show, {}).ExitCode, std::uint32_t(expected));
  // The box closes as soon as the burner has ended.
  QVERIFY2(clock.elapsed() < 3000, QByteArray::number(clock.elapsed()));
  delete watchdog;
}

void BurnerRunTest::abortEndsBurnerAndWhatItStarted_data() {
  QTest::addColumn<QString>("prefix");
  QTest::addColumn<bool>("needsKill");
#ifdef _WIN32  // Windows ends the job at once; POSIX sends SIGTERM, then SIGKILL
  // The job is ended at once: no grace to wait for.
  QTest::newRow("its job ended") << QString() << false;
#else
  QTest::newRow("ends on SIGTERM") << QString() << false;
  // Ignored signals stay ignored in the children, so the whole group needs
  // SIGKILL after the grace.
  QTest::newRow("ignores SIGTERM") << QString("trap '' TERM; ") << true;
#endif
}

void BurnerRunTest::abortEndsBurnerAndWhatItStarted() {
  QFETCH(QString, prefix);
  QFETCH(bool, needsKill);
#ifdef _WIN32  // the prefix is a shell's
  Q_UNUSED(prefix);
#endif
#ifdef _WIN32  // the burner: steps of ours on Windows, a shell script on POSIX
  const std::string command = Steps({"child", "forever"});
#else
  const std::string command =
      Sh(prefix.toStdString() + "sleep 1000 & echo grandchild $!; while :; do sleep 1; done");
#endif
  TQtBurnerRunner runner(FWindow);
  pid_t burner = -1;
  pid_t grandchild = -1;
  QElapsedTimer clock;
  WhenBoxOpens([&](TBurnerRunDialog& box) {
    QTRY_VERIFY(Output(box).contains("grandchild"));
    const auto match = QRegularExpression("grandchild (\\d+)").match(Output(box));
    QVERIFY(match.hasMatch());
    grandchild = match.captured(1).toInt();
    burner = static_cast<pid_t>(box.BurnerId());
    QVERIFY(!ProcessGone(grandchild));
#ifndef _WIN32  // process groups are POSIX's
    QCOMPARE(::getpgid(grandchild), burner);
#endif
    clock.start();
    QTest::mouseClick(box.AbortButton(), Qt::LeftButton);
    QVERIFY(!box.AbortButton()->isEnabled());
    QVERIFY(box.StatusLabel()->text().contains("Stopping"));
  });
  const BurnOutcome outcome = runner.Run(command, WindowShow::Normal, {});
  QCOMPARE(outcome.ExitCode, kExecFailed);
  QVERIFY(outcome.Started && outcome.Aborted);
  const qint64 elapsed = clock.elapsed();
  qInfo("Abort to return: %lld ms", elapsed);
  QVERIFY(grandchild > 0);
  QVERIFY2(elapsed < 2000, QByteArray::number(elapsed));
  // A group that obeys SIGTERM is not kept waiting for the grace.
  if (needsKill) {
    QVERIFY2(elapsed >= TBurnerRunDialog::kAbortGraceMs - 50, QByteArray::number(elapsed));
  } else {
    QVERIFY2(elapsed < TBurnerRunDialog::kAbortGraceMs - 100, QByteArray::number(elapsed));
  }
#ifdef _WIN32  // POSIX reaps the burner; Windows asks whether its process has ended
  QVERIFY(ProcessGone(burner));
#else
  // The burner was reaped by the box; its child, handed to another parent,
  // is dead too.
  QCOMPARE(::kill(burner, 0), -1);
  QCOMPARE(errno, ESRCH);
#endif
  QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(grandchild), 1000);
}

void BurnerRunTest::escapeAndCloseBoxAbortButEnterDoesNot_data() {
  QTest::addColumn<bool>("byEscape");
  QTest::newRow("Escape") << true;
  QTest::newRow("close box") << false;
}

void BurnerRunTest::escapeAndCloseBoxAbortButEnterDoesNot() {
  QFETCH(bool, byEscape);
  TQtBurnerRunner runner(FWindow);
  bool aborted = false;
  WhenBoxOpens([&](TBurnerRunDialog& box) {
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClick(box.AbortButton(), Qt::Key_Enter);
    QTest::qWait(100);
    QVERIFY(!box.Aborted());
    QVERIFY(box.isVisible());
    if (byEscape) {
      QTest::keyClick(&box, Qt::Key_Escape);
    } else {
      box.close();
    }
    aborted = box.Aborted();
  });
#ifdef _WIN32  // the burner: steps of ours on Windows, a shell script on POSIX
  const std::string command = Steps({"forever"});
#else
  const std::string command = Sh("exec sleep 1000");
#endif
  QCOMPARE(runner.Run(command, WindowShow::Hidden, {}).ExitCode, kExecFailed);
  QVERIFY(aborted);
}

void BurnerRunTest::floodKeepsMemoryBoundedAndWindowResponsive_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<QString>("lastLine");
  // 40 and 20 MB: kept whole, the text alone would take twice that.
#ifdef _WIN32  // the burner: steps of ours on Windows, a shell script on POSIX
  // Fewer lines, still many times what the box keeps: under Wine the box
  // takes some 10000 short lines a second.
  QTest::newRow("many lines") << QString::fromStdString(Steps(
                                     {"lines:50000:a line of a chatty burner, as it scrolls by",
                                      "say:END"}))
                              << QString("END");
  QTest::newRow("one endless line")
      << QString::fromStdString(Steps({"long:20000000", "say:END"})) << QString("END");
#else
  QTest::newRow("many lines")
      << QString::fromStdString(
             Sh("yes 'a line of a chatty burner, as it scrolls by' | head -n 800000; echo END"))
      << QString("END");
  QTest::newRow("one endless line")
      << QString::fromStdString(Sh("head -c 20000000 /dev/zero | tr '\\0' x; echo; echo END"))
      << QString("END");
#endif
}

void BurnerRunTest::floodKeepsMemoryBoundedAndWindowResponsive() {
  QFETCH(QString, command);
  QFETCH(QString, lastLine);
  // The main window's event loop: the longest pause between two ticks.
  QElapsedTimer sinceTick;
  qint64 longestPause = 0;
  int maxBlocks = 0;
  QTimer ticker;
  ticker.setInterval(10);
  connect(&ticker, &QTimer::timeout, [&] {
    if (sinceTick.isValid()) longestPause = std::max(longestPause, sinceTick.elapsed());
    sinceTick.start();
    if (TBurnerRunDialog* box = OpenBox(); box != nullptr && box->OutputView() != nullptr) {
      maxBlocks = std::max(maxBlocks, box->OutputView()->document()->blockCount());
    }
  });
  const long residentBefore = ResidentKiB();
  ticker.start();

  TBurnerRunDialog box(command.toStdString(), false, FWindow);
  auto* watchdog = new QTimer(&box);
  watchdog->setSingleShot(true);
  connect(watchdog, &QTimer::timeout, &box, &TBurnerRunDialog::Abort);
  watchdog->start(60000);
  QElapsedTimer clock;
  clock.start();
  QCOMPARE(box.Run(), 0u);
  const qint64 elapsed = clock.elapsed();
  ticker.stop();
  const long residentAfter = ResidentKiB();
  qInfo("flood took %lld ms, longest pause %lld ms, resident %ld -> %ld KiB", elapsed, longestPause,
        residentBefore, residentAfter);

  const QTextDocument* document = box.OutputView()->document();
  QVERIFY(document->blockCount() <= TBurnerRunDialog::kMaxLines);
  QVERIFY(maxBlocks <= TBurnerRunDialog::kMaxLines);
  QVERIFY(document->characterCount() <=
          TBurnerRunDialog::kMaxLines * (TBurnerRunDialog::kMaxLineLength + 1));
  QCOMPARE(document->lastBlock().previous().text(), lastLine);
  // A box that read the flood in one go would freeze the window for most of
  // it; a busy or sanitized machine stretches single pauses a little. So the
  // bound is a share of the flood, never under a second.
  const qint64 allowedPause = std::max<qint64>(1000, elapsed / 4);
  QVERIFY2(longestPause < allowedPause,
           QByteArray::number(longestPause) + " of " + QByteArray::number(elapsed));
  QVERIFY2(!kResidentSizeTells || residentAfter - residentBefore < 40 * 1024,
           QByteArray::number(qlonglong(residentAfter - residentBefore)));
}

void BurnerRunTest::abortStopsABatchAtThatImage() {
  const std::string skeleton = FDir->File("board.hex");
  WriteFileBytes(skeleton, ":0400000001020304F2\r\n:00000001FF\r\n");
  ScriptedOperator op;
  QueuedFileChooser chooser;
  std::vector<std::string> errors;
  const ErrorReporter oldReporter =
      SetErrorReporter([&](const std::string& message) { errors.push_back(message); });
  {
    TFormPrincipal window({FDir->File("velmorin.ini"), &op, &chooser});
    window.show();
    window.FCbSkelFile->setEditText(QString::fromStdString(skeleton));
    window.FEdOutputFolder->setText(QString::fromStdString(FDir->Path().string()));
    window.FEdNextSeqNum->SetValue(1000);
    window.FCkAutoIncSeq->setChecked(true);
    window.FCkDontBurn->setChecked(false);
    window.FCkHideBurner->setChecked(false);
    // Burns the first image, hangs on the second.
#ifdef _WIN32  // the burner: steps of ours on Windows, a shell script on POSIX
    const std::string burner = Steps({"hangif:_1001.hex"});
#else
    const std::string burner =
        Sh("case \"$0\" in *_1001.hex) echo hanging on $0; exec sleep 1000;; esac; echo burned $0");
#endif
    window.FEdBurnerCmdLine->setText(QString::fromStdString(burner + " $image"));

    op.promptAnswers = {"3"};
    op.answers = {mrOk, mrOk};
    bool aborted = false;
    WhenBoxOpens(
        [&](TBurnerRunDialog& box) {
          QTRY_VERIFY(Output(box).contains("hanging"));
          QCOMPARE(box.parentWidget(), &window);
          // Which image is on the chip, and where the batch stands: the
          // progress bar counts the first image and stays in sight.
          QCOMPARE(box.ContextLabel()->text(), QString("Image 2 of 3, serial 1001"));
          QCOMPARE(window.FPbSerialize->value(), 1);
          const QRect bar(window.FPbSerialize->mapToGlobal(QPoint(0, 0)),
                          window.FPbSerialize->size());
          QVERIFY(window.FPbSerialize->isVisible());
          QVERIFY(!box.frameGeometry().intersects(bar));
          // The box is modal over the window, which keeps painting but takes no input.
          QCOMPARE(QApplication::activeModalWidget(), static_cast<QWidget*>(&box));
          QVERIFY(window.isVisible());
          const std::size_t asked = op.boxes.size();
          // Sent as the window system would, so that modality applies.
          QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                            window.FBtnSerializeOne->mapTo(&window, QPoint(10, 10)));
          QTest::keyClick(window.windowHandle(), Qt::Key_Return);
          QTest::qWait(50);
          QCOMPARE(op.boxes.size(), asked);
          QTest::mouseClick(box.AbortButton(), Qt::LeftButton);
          aborted = true;
        },
        [](TBurnerRunDialog& box) { return box.CommandView()->text().endsWith("_1001.hex"); });
    QTest::mouseClick(window.FBtnSerialize, Qt::LeftButton);

    QVERIFY(aborted);
    // Two questions, and nothing after the aborted burn: no summary, no error.
    QCOMPARE(op.Texts(), (std::vector<std::string>{"Prepare a chip in the burner, please.",
                                                   "Prepare a chip in the burner, please."}));
    QVERIFY(errors.empty());
    QCOMPARE(window.FPbSerialize->value(), 1);
    // The aborted image's number is used and its file stays.
    QCOMPARE(window.FEdNextSeqNum->text(), QString("1002"));
    QVERIFY(std::filesystem::exists(FDir->File("board_1000.hex")));
    QVERIFY(std::filesystem::exists(FDir->File("board_1001.hex")));
    QVERIFY(!std::filesystem::exists(FDir->File("board_1002.hex")));
    window.close();
  }
  SetErrorReporter(oldReporter);
}

void BurnerRunTest::boxAppearsOnlyForABurnerThatTakesItsTime_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<bool>("shown");
#ifdef _WIN32  // the burner: steps of ours on Windows, a shell script on POSIX
  // A program takes longer to start under Wine: the short one is shorter.
  QTest::newRow("ends at once") << QString::fromStdString(Steps({"exit:0"})) << false;
  QTest::newRow("ends within 0.1 s") << QString::fromStdString(Steps({"sleep:100"})) << false;
  QTest::newRow("takes 0.8 s") << QString::fromStdString(Steps({"sleep:800"})) << true;
#else
  QTest::newRow("ends at once") << QString::fromStdString(Sh("exit 0")) << false;
  QTest::newRow("ends within 0.15 s") << QString::fromStdString(Sh("sleep 0.15")) << false;
  QTest::newRow("takes 0.8 s") << QString::fromStdString(Sh("sleep 0.8")) << true;
#endif
}

void BurnerRunTest::boxAppearsOnlyForABurnerThatTakesItsTime() {
  QFETCH(QString, command);
  QFETCH(bool, shown);
  auto* button = new QPushButton(QStringLiteral("Serialize 1"), FWindow);
  button->show();
  QSignalSpy clicks(button, &QPushButton::clicked);
  // While the box waits to appear, the window still takes no input.
  QTimer press;
  press.setSingleShot(true);
  connect(&press, &QTimer::timeout, [button] {
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(button, Qt::Key_Space);
  });
  press.start(50);
  QElapsedTimer clock;
  clock.start();
  const BoxShowWatcher watcher(clock);
  TQtBurnerRunner runner(FWindow);
  const BurnOutcome outcome = runner.Run(command.toStdString(), WindowShow::Hidden, {});
  QCOMPARE(outcome.ExitCode, 0u);
  QVERIFY(outcome.Started && !outcome.Aborted);
  QCOMPARE(watcher.shownAt >= 0, shown);
  if (shown) {
    QVERIFY2(watcher.shownAt >= TBurnerRunDialog::kShowDelayMs - 10,
             QByteArray::number(watcher.shownAt));
  }
  QCOMPARE(clicks.count(), 0);
}

void BurnerRunTest::abortEndsWhatTheBurnerDetached_data() {
  QTest::addColumn<QString>("command");
#ifdef _WIN32  // each system's ways to leave a process behind
  QTest::newRow("detached") << QString::fromStdString(Steps({"detached", "forever"}));
  // Its parent is gone before Abort.
  QTest::newRow("orphan") << QString::fromStdString(Steps({"orphan", "forever"}));
#else
  QTest::newRow("new session") << QString(
      "setsid sh -c 'echo pid $$; exec sleep 1000' & while :; do sleep 1; done");
  // Its parent is gone before Abort: it is an orphan, ours as its subreaper.
  QTest::newRow("orphan in a new session")
      << QString("(setsid sh -c 'echo pid $$; exec sleep 1000' &); while :; do sleep 1; done");
  QTest::newRow("own process group") << QString(
      "perl -e '$|=1; setpgrp(0,0); print \"pid $$\\n\"; sleep 1000' & "
      "while :; do sleep 1; done");
  // Ignores SIGTERM, and so do its own children: SIGKILL after the grace.
  QTest::newRow("new session, deaf to SIGTERM") << QString(
      "setsid sh -c 'trap \"\" TERM; echo pid $$; while :; do sleep 1; done' & "
      "while :; do sleep 1; done");
#endif
}

void BurnerRunTest::abortEndsWhatTheBurnerDetached() {
  QFETCH(QString, command);
#ifndef _WIN32  // a POSIX command is a shell script
  command = QString::fromStdString(Sh(command.toStdString()));
#endif
  TQtBurnerRunner runner(FWindow);
  pid_t detached = -1;
  WhenBoxOpens([&](TBurnerRunDialog& box) {
    QTRY_VERIFY(QRegularExpression("pid \\d+\n").match(Output(box)).hasMatch());
    detached = QRegularExpression("pid (\\d+)").match(Output(box)).captured(1).toInt();
    const auto burner = static_cast<pid_t>(box.BurnerId());
    QVERIFY(detached > 0 && !ProcessGone(detached));
#ifdef _WIN32  // process groups are POSIX's
    Q_UNUSED(burner);
#else
    // Out of the burner's process group: a group kill alone misses it.
    QVERIFY(::getpgid(detached) != burner);
#endif
    QTest::mouseClick(box.AbortButton(), Qt::LeftButton);
  });
  const BurnOutcome outcome = runner.Run(command.toStdString(), WindowShow::Normal, {});
  QVERIFY(outcome.Aborted);
  QCOMPARE(outcome.ExitCode, kExecFailed);
  QVERIFY(detached > 0);
#ifdef _WIN32  // POSIX reaps, leaving not even a zombie; Windows has none
  QTRY_VERIFY_WITH_TIMEOUT(ProcessGone(detached), 1000);
#else
  // Gone and reaped: not even a zombie is left.
  QTRY_VERIFY_WITH_TIMEOUT(!std::filesystem::exists("/proc/" + std::to_string(detached)), 1000);
  QCOMPARE(OurZombies(), std::vector<pid_t>{});
#endif
}

void BurnerRunTest::burnerThatEndsLeavesItsDaemonAndNoZombie() {
#ifdef _WIN32  // subreapers and zombies are Linux's
  QSKIP("Linux only: the child subreaper and the zombies it reaps");
#else
  // A short-lived orphan comes back to us and ends while the burner runs; a
  // daemon outlives the burner.
  const std::string pidFile = FDir->File("daemon.pid");
  const std::string script = "(sleep 0.05 &); setsid sh -c 'exec sleep 1000' & echo $! > " +
                             QuoteArgument(pidFile) + "; sleep 0.5; exit 0";
  TQtBurnerRunner runner(FWindow);
  const BurnOutcome outcome = runner.Run(Sh(script), WindowShow::Hidden, {});
  QCOMPARE(outcome.ExitCode, 0u);
  QVERIFY(!outcome.Aborted);
  std::ifstream in(pidFile);
  pid_t daemon = 0;
  in >> daemon;
  QVERIFY(daemon > 0);
  // Judged by its own exit code, its daemon left alone, nothing left unreaped,
  // and we are no subreaper any more.
  QVERIFY(!ProcessGone(daemon));
  QCOMPARE(OurZombies(), std::vector<pid_t>{});
  int subreaper = -1;
  QCOMPARE(::prctl(PR_GET_CHILD_SUBREAPER, &subreaper), 0);
  QCOMPARE(subreaper, 0);
  // The daemon came back to us when the burner ended; end it and reap it.
  QCOMPARE(::kill(daemon, SIGKILL), 0);
  QCOMPARE(::waitpid(daemon, nullptr, 0), daemon);
#endif
}

void BurnerRunTest::contextNamesTheImageAndItsSerial_data() {
  QTest::addColumn<int>("image");
  QTest::addColumn<int>("count");
  QTest::addColumn<int>("serial");
  QTest::addColumn<QString>("text");
  QTest::newRow("batch") << 3 << 10 << 1002 << QString("Image 3 of 10, serial 1002");
  QTest::newRow("Serialize 1") << 1 << 0 << 1002 << QString("Serial 1002");
  QTest::newRow("negative serial") << 1 << 1 << -5 << QString("Image 1 of 1, serial -5");
}

void BurnerRunTest::contextNamesTheImageAndItsSerial() {
  QFETCH(int, image);
  QFETCH(int, count);
  QFETCH(int, serial);
  QFETCH(QString, text);
  QCOMPARE(TBurnerRunDialog::ContextText(BurnContext{image, count, serial}), text);
}

void BurnerRunTest::placementKeepsTheProgressBarInSight_data() {
  QTest::addColumn<QRect>("screen");
  QTest::addColumn<QPoint>("windowAt");
  QTest::addColumn<bool>("besideWindow");
  const QRect fullHd(0, 0, 1920, 1080);
  QTest::newRow("centred on a wide screen") << fullHd << QPoint(780, 322) << true;
  QTest::newRow("at the right edge") << fullHd << QPoint(1560, 100) << true;
  QTest::newRow("top of a tall screen") << QRect(0, 0, 800, 1280) << QPoint(220, 0) << true;
  QTest::newRow("no room outside") << QRect(0, 0, 800, 600) << QPoint(220, 82) << false;
  QTest::newRow("no room, bar low") << QRect(0, 0, 800, 480) << QPoint(220, 45) << false;
}

void BurnerRunTest::placementKeepsTheProgressBarInSight() {
  QFETCH(QRect, screen);
  QFETCH(QPoint, windowAt);
  QFETCH(bool, besideWindow);
  const QRect window(windowAt, QSize(360, 435));
  const QRect bar(windowAt + QPoint(8, 340), QSize(341, 13));
  const QSize box(520, 360);
  const int minimumHeight = 150;
  const QRect placed = TBurnerRunDialog::Placement(screen, window, bar, box, minimumHeight);
  QVERIFY(screen.contains(placed));
  QVERIFY(!placed.intersects(bar));
  QCOMPARE(!placed.intersects(window), besideWindow);
  QCOMPARE(placed.width(), box.width());
  QVERIFY(placed.height() >= minimumHeight && placed.height() <= box.height());
}

QTEST_MAIN(BurnerRunTest)
#include "BurnerRunTest.moc"
