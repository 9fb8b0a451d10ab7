#include "ui/BurnerRunDialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <array>

#include "ui/MessageForm.h"
#include "ui/QtOperator.h"

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
// The box's size with output when there is room for it, and the least the
// output view shrinks to when there is not.
constexpr QSize kPreferredSize(500, 330);
constexpr QSize kMinOutputSize(300, 60);

// Swallows what the operator does with the mouse and keyboard (and the close
// box) for as long as it lives: while the box waits to appear, the main window
// must take no input, as it takes none once the modal box is up.
class InputBlocker : public QObject {
 public:
  InputBlocker() { qApp->installEventFilter(this); }
  ~InputBlocker() override { qApp->removeEventFilter(this); }
  InputBlocker(const InputBlocker&) = delete;
  InputBlocker& operator=(const InputBlocker&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!event->spontaneous()) return QObject::eventFilter(watched, event);
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Shortcut:
      case QEvent::ContextMenu:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
      case QEvent::TabletPress:
      case QEvent::TabletRelease:
      case QEvent::Close:
        event->ignore();
        return true;
      default:
        return QObject::eventFilter(watched, event);
    }
  }
};

}  // namespace

QString TBurnerRunDialog::ContextText(const BurnContext& context) {
  if (context.Count <= 0) return QStringLiteral("Serial %1").arg(context.Serial);
  return QStringLiteral("Image %1 of %2, serial %3")
      .arg(context.Image)
      .arg(context.Count)
      .arg(context.Serial);
}

QRect TBurnerRunDialog::Placement(const QRect& screen, const QRect& window, const QRect& keep,
                                  const QSize& box, int minimumHeight) {
  // Beside the window first (the box is about as tall as the window), then
  // below or above it, top or left edges aligned with the window's.
  const QRect candidates[] = {
      QRect(QPoint(window.right() + 1 + kGap, window.top()), box),
      QRect(QPoint(window.left() - kGap - box.width(), window.top()), box),
      QRect(QPoint(window.left(), window.bottom() + 1 + kGap), box),
      QRect(QPoint(window.left(), window.top() - kGap - box.height()), box),
  };
  for (QRect candidate : candidates) {
    // Sliding along the window's edge may make it fit.
    if (candidate.bottom() > screen.bottom()) candidate.moveBottom(screen.bottom());
    if (candidate.top() < screen.top()) candidate.moveTop(screen.top());
    if (candidate.right() > screen.right()) candidate.moveRight(screen.right());
    if (candidate.left() < screen.left()) candidate.moveLeft(screen.left());
    if (screen.contains(candidate) && !candidate.intersects(window)) return candidate;
  }
  // No room outside the window: over it, below or above the progress bar,
  // whichever leaves more room, as tall as that room allows.
  const int roomBelow = screen.bottom() - (keep.bottom() + kGap);
  const int roomAbove = (keep.top() - kGap) - screen.top();
  const bool below = roomBelow >= roomAbove;
  const int height = std::max(minimumHeight, std::min(box.height(), below ? roomBelow : roomAbove));
  QRect placed(QPoint(0, 0), QSize(std::min(box.width(), screen.width()), height));
  placed.moveCenter(QPoint(window.center().x(), placed.center().y()));
  if (below) {
    placed.moveTop(keep.bottom() + 1 + kGap);
  } else {
    placed.moveBottom(keep.top() - 1 - kGap);
  }
  if (placed.right() > screen.right()) placed.moveRight(screen.right());
  if (placed.left() < screen.left()) placed.moveLeft(screen.left());
  return placed;
}

TBurnerRunDialog::TBurnerRunDialog(const std::string& commandLine, bool hide, QWidget* parent,
                                   const BurnContext& context)
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
  FContextLabel = new QLabel(ContextText(context), this);
  QFont bold = FContextLabel->font();
  bold.setBold(true);
  FContextLabel->setFont(bold);
  layout->addWidget(FContextLabel);
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
    FOutputView->setMinimumSize(kMinOutputSize);
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
  // Precise: the step at its end is the one that sends SIGKILL, and a coarse
  // timer may fire a little before the grace is over.
  FGraceTimer->setTimerType(Qt::PreciseTimer);
  FGraceTimer->setInterval(kAbortGraceMs);
  // The end of the grace is a step of the stop sequence of its own, so that
  // the kill goes out on time rather than at the next poll.
  connect(FGraceTimer, &QTimer::timeout, this, &TBurnerRunDialog::PollBurner);
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
  if (FProcess.HasOutput()) {
    // A pipe the event loop can wait on is read as output comes; one it
    // can't (Windows) is read at each poll.
    if (FProcess.OutputDescriptor() >= 0) {
      FOutputNotifier =
          new QSocketNotifier(FProcess.OutputDescriptor(), QSocketNotifier::Read, this);
      connect(FOutputNotifier, &QSocketNotifier::activated, this, &TBurnerRunDialog::ReadOutput);
    }
    FRefreshTimer->start();
  }
  FPollTimer->start();
  return true;
}

std::uint32_t TBurnerRunDialog::Run() {
  if (!Start()) return kExecFailed;
  // The end is noticed by the timers, which run only inside an event loop.
  if (!FFinished) WaitBeforeShowing();
  if (!FFinished) exec();
  return FResult;
}

void TBurnerRunDialog::WaitBeforeShowing() {
  const InputBlocker blocker;
  QEventLoop loop;
  connect(this, &TBurnerRunDialog::BurnerFinished, &loop, &QEventLoop::quit);
  QTimer::singleShot(kShowDelayMs, &loop, &QEventLoop::quit);
  loop.exec();
}

void TBurnerRunDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  PlaceBesideOwner();
}

void TBurnerRunDialog::PlaceBesideOwner() {
  const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
  if (owner == nullptr || !owner->isVisible()) return;
  const QScreen* screen =
      owner->screen() != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect ownerFrame = owner->frameGeometry();
  // Our own frame is not known before the window manager has framed the box;
  // the owner's is the best guess for it.
  const QRect ownerInner = owner->geometry();
  const QMargins frame(ownerInner.left() - ownerFrame.left(), ownerInner.top() - ownerFrame.top(),
                       ownerFrame.right() - ownerInner.right(),
                       ownerFrame.bottom() - ownerInner.bottom());
  QSize wanted = sizeHint();
  if (FOutputView != nullptr) wanted = wanted.expandedTo(kPreferredSize);
  wanted = wanted.grownBy(frame);
  QRect keep = ownerFrame;
  if (FKeepVisible != nullptr && FKeepVisible->isVisible()) {
    keep = QRect(FKeepVisible->mapToGlobal(QPoint(0, 0)), FKeepVisible->size());
  }
  const QRect placed = Placement(screen->availableGeometry(), ownerFrame, keep, wanted,
                                 minimumSizeHint().height() + frame.top() + frame.bottom());
  resize(placed.size().shrunkBy(frame));
  move(placed.topLeft());
}

void TBurnerRunDialog::ReadOutput() {
  std::array<char, kReadChunk> buffer;
  for (int i = 0; i < kReadsPerWakeUp; ++i) {
    const std::ptrdiff_t got = FProcess.ReadOutput(buffer.data(), buffer.size());
    if (got < 0) return;
    if (got == 0) {
      // Every writer has closed the pipe, which is closed now too.
      if (FOutputNotifier != nullptr) {
        FOutputNotifier->setEnabled(false);
        FOutputNotifier->deleteLater();
        FOutputNotifier = nullptr;
      }
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
  if (FFinished) return;
  if (FProcess.HasOutput() && FOutputNotifier == nullptr) ReadOutput();
  if (!FAborted) {
    if (FProcess.Poll()) Finish();
    return;
  }
  // After Abort, everything the burner started gets its grace too before the
  // box closes.
  if (FStopper.Advance()) Finish();
}

void TBurnerRunDialog::Abort() {
  if (FFinished || FAborted || !FProcess.Started()) return;
  FAborted = true;
  FAbortButton->setEnabled(false);
  FStatusLabel->setText(QStringLiteral("Stopping the burner..."));
  FStopper.Begin();
  FGraceTimer->start();
}

void TBurnerRunDialog::reject() {
  if (FFinished) {
    QDialog::reject();
    return;
  }
  Abort();
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
