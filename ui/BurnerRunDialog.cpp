#include "BurnerRunDialog.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <csignal>

#include "MessageForm.h"
#include "QtOperator.h"

namespace velmorin {

namespace {

// Often enough that a burner's end closes the box "at once" to the eye.
constexpr int kPollIntervalMs = 20;
// How often new output is drawn; between two refreshes it only piles up in
// the tail, however fast it comes.
constexpr int kRefreshIntervalMs = 50;
// Read per wake-up, so that a flood still lets the event loop breathe.
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr int kReadsPerWakeUp = 4;
// Read after the burner has ended; a child it left behind may go on writing.
constexpr std::size_t kMaxDrain = 4 * 1024 * 1024;

}  // namespace

TBurnerRunDialog::TBurnerRunDialog(const std::string& commandLine, bool hide, QWidget* parent)
    : QDialog(parent),
      FCommandLine(commandLine),
      FHide(hide),
      FPollTimer(new QTimer(this)),
      FRefreshTimer(new QTimer(this)),
      FGraceTimer(new QTimer(this)) {
  setWindowTitle(ApplicationTitle());
  // The main window's small fixed-layout font is no font for reading output.
  setFont(QApplication::font());
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Running the burner:"), this));
  FCommandView = new QLineEdit(ToQt(commandLine), this);
  FCommandView->setReadOnly(true);
  FCommandView->setCursorPosition(0);
  layout->addWidget(FCommandView);

  if (hide) {
    auto* hidden =
        new QLabel(QStringLiteral("Its output is not shown, since \"Hide\" is checked."), this);
    hidden->setWordWrap(true);
    layout->addWidget(hidden);
  } else {
    FOutputView = new QPlainTextEdit(this);
    FOutputView->setReadOnly(true);
    // Nothing is ever undone here, and an undo stack would keep every line.
    FOutputView->setUndoRedoEnabled(false);
    FOutputView->setMaximumBlockCount(kMaxLines);
    FOutputView->setLineWrapMode(QPlainTextEdit::NoWrap);
    FOutputView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    FOutputView->setMinimumSize(560, 260);
    layout->addWidget(FOutputView, 1);
  }

  auto* row = new QHBoxLayout;
  FStatusLabel = new QLabel(QStringLiteral("The burner is running."), this);
  row->addWidget(FStatusLabel, 1);
  FAbortButton = new QPushButton(QStringLiteral("&Abort"), this);
  // Enter must not stop a burn: an Enter meant for the question before this
  // box, pressed once too often, would otherwise spoil a chip.
  FAbortButton->setAutoDefault(false);
  FAbortButton->setDefault(false);
  FAbortButton->setMinimumWidth(75);
  row->addWidget(FAbortButton);
  layout->addLayout(row);
  if (hide) setMinimumWidth(420);

  connect(FAbortButton, &QPushButton::clicked, this, &TBurnerRunDialog::Abort);
  FPollTimer->setInterval(kPollIntervalMs);
  connect(FPollTimer, &QTimer::timeout, this, &TBurnerRunDialog::PollBurner);
  FRefreshTimer->setInterval(kRefreshIntervalMs);
  connect(FRefreshTimer, &QTimer::timeout, this, &TBurnerRunDialog::ShowPendingOutput);
  FGraceTimer->setSingleShot(true);
  FGraceTimer->setInterval(kAbortGraceMs);
  connect(FGraceTimer, &QTimer::timeout, this, &TBurnerRunDialog::KillAfterGrace);
  if (FOutputView != nullptr) FOutputView->setFocus();
}

TBurnerRunDialog::~TBurnerRunDialog() {
  // The notifier goes before its descriptor; the process then kills and reaps
  // a burner still running.
  delete FOutputNotifier;
  FOutputNotifier = nullptr;
}

bool TBurnerRunDialog::Start() {
  if (FProcess.Started()) return false;
  if (!FProcess.Start(FCommandLine, FHide ? ChildOutput::Discard : ChildOutput::Pipe)) {
    FFinished = true;
    FResult = kExecFailed;
    return false;
  }
  if (FProcess.OutputFd() >= 0) {
    FOutputNotifier = new QSocketNotifier(FProcess.OutputFd(), QSocketNotifier::Read, this);
    connect(FOutputNotifier, &QSocketNotifier::activated, this, &TBurnerRunDialog::ReadOutput);
    FRefreshTimer->start();
  }
  FPollTimer->start();
  return true;
}

std::uint32_t TBurnerRunDialog::Run() {
  if (!Start()) return kExecFailed;
  // The end is noticed by the timers, which run only inside exec().
  if (!FFinished) exec();
  return FResult;
}

void TBurnerRunDialog::ReadOutput() {
  std::array<char, kReadChunk> buffer;
  for (int i = 0; i < kReadsPerWakeUp; ++i) {
    const std::ptrdiff_t got = FProcess.ReadOutput(buffer.data(), buffer.size());
    if (got < 0) return;
    if (got == 0) {
      // Every writer has closed the pipe, which is closed now too.
      FOutputNotifier->setEnabled(false);
      FOutputNotifier->deleteLater();
      FOutputNotifier = nullptr;
      return;
    }
    FTail.Append(QString(FDecoder.decode(QByteArrayView(buffer.data(), got))));
  }
}

void TBurnerRunDialog::DrainOutput() {
  if (FOutputNotifier != nullptr) {
    FOutputNotifier->setEnabled(false);
    delete FOutputNotifier;
    FOutputNotifier = nullptr;
  }
  std::array<char, kReadChunk> buffer;
  std::size_t total = 0;
  while (total < kMaxDrain) {
    const std::ptrdiff_t got = FProcess.ReadOutput(buffer.data(), buffer.size());
    if (got <= 0) break;
    total += static_cast<std::size_t>(got);
    FTail.Append(QString(FDecoder.decode(QByteArrayView(buffer.data(), got))));
  }
  FProcess.CloseOutput();
}

void TBurnerRunDialog::ShowPendingOutput() {
  if (FOutputView == nullptr || FTail.Empty()) return;
  QScrollBar* bar = FOutputView->verticalScrollBar();
  // Follow the newest line unless the operator has scrolled up to read.
  const bool follow = bar->value() == bar->maximum();
  bool replacesAll = false;
  const QString text = FTail.Take(replacesAll);
  if (replacesAll) FOutputView->clear();
  QTextCursor end(FOutputView->document());
  end.movePosition(QTextCursor::End);
  end.insertText(text);
  if (follow) bar->setValue(bar->maximum());
}

void TBurnerRunDialog::PollBurner() {
  if (!FProcess.Poll()) return;
  // After Abort, the burner's children get their grace too before the box
  // closes; the grace timer kills whatever is left.
  if (FAborted && !FKillSent && FProcess.GroupAlive()) return;
  Finish();
}

void TBurnerRunDialog::Abort() {
  if (FFinished || FAborted || !FProcess.Started()) return;
  FAborted = true;
  FAbortButton->setEnabled(false);
  FStatusLabel->setText(QStringLiteral("Stopping the burner..."));
  FProcess.SignalGroup(SIGTERM);
  // A stopped member would not see SIGTERM until continued.
  FProcess.SignalGroup(SIGCONT);
  FGraceTimer->start();
}

void TBurnerRunDialog::reject() {
  if (FFinished) {
    QDialog::reject();
    return;
  }
  Abort();
}

void TBurnerRunDialog::KillAfterGrace() {
  FKillSent = true;
  FProcess.SignalGroup(SIGKILL);
}

void TBurnerRunDialog::Finish() {
  if (FFinished) return;
  FFinished = true;
  FPollTimer->stop();
  FGraceTimer->stop();
  FRefreshTimer->stop();
  DrainOutput();
  ShowPendingOutput();
  // An aborted burn counts as failed whatever the burner made of its signal.
  FResult = FAborted ? kExecFailed : FProcess.Result();
  FStatusLabel->setText(FAborted ? QStringLiteral("The burner was stopped.")
                                 : QStringLiteral("The burner has ended."));
  emit BurnerFinished(FResult);
  done(FAborted ? QDialog::Rejected : QDialog::Accepted);
}

}  // namespace velmorin
