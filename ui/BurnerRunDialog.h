// The box shown while a burner runs. It says which image of the batch and
// which serial number are on the chip (and which attempt, when the profile
// retries), names the command line and, unless "Hide" is checked, shows what
// the burner writes to its standard output and error as it arrives, the
// newest line in view. Its one button, Abort, ends the burner and everything
// it started; so does the profile's time limit. The burn itself is a
// BurnWatch, stepped from the box's timers, which also judges the output
// when the profile asks for it. It is modal, so the main window takes
// no input meanwhile, yet its event loop keeps every window painted. It
// appears only once the burner has run for kShowDelayMs (a burner that ends
// sooner shows no box at all), and beside the main window, so that the
// window's progress bar stays in sight.
#pragma once

#include <QDialog>
#include <QStringDecoder>
#include <cstdint>
#include <string>

#include "platform/process/ProcessTreeStopper.h"
#include "serialize/BurnWatch.h"
#include "serialize/BurnerRunner.h"
#include "ui/OutputTail.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSocketNotifier;
class QTimer;

namespace velmorin {

class TBurnerRunDialog : public QDialog {
  Q_OBJECT

 public:
  // Lines kept in view; older ones scroll away for good.
  static constexpr int kMaxLines = 3000;
  // Longer lines are broken, so that the kept lines have a bounded size too.
  static constexpr int kMaxLineLength = 256;
  // How long the burner has to end after Abort asks it to, before it is killed.
  static constexpr int kAbortGraceMs = static_cast<int>(ProcessTreeStopper::kGrace.count());
  // How long a burner runs before the box appears; the main window takes no
  // input meanwhile either.
  static constexpr int kShowDelayMs = 300;
  // The gap between the box and the main window.
  static constexpr int kGap = 8;

  // The request's judge, when it has one, must outlive the box.
  explicit TBurnerRunDialog(const BurnRequest& request, QWidget* parent = nullptr);
  // A plain burn: no time limit, no judge.
  TBurnerRunDialog(const std::string& commandLine, bool hide, QWidget* parent = nullptr,
                   const BurnContext& context = {});
  ~TBurnerRunDialog() override;

  // "Image 3 of 10, serial 1002" in a batch, "Serial 1002" for a single image;
  // ", attempt 2 of 3" follows when the profile retries.
  static QString ContextText(const BurnContext& context);
  // Where a box of `box` size (its frame included) goes: beside, below or
  // above `window` (frames too) within `screen`; when none of these fits, over
  // the window but clear of `keep` (the progress bar), as tall as the room
  // there allows, and never shorter than `minimumHeight`.
  static QRect Placement(const QRect& screen, const QRect& window, const QRect& keep,
                         const QSize& box, int minimumHeight);
  // The main window's widget to keep in sight (its progress bar); null: none.
  void SetKeepVisible(QWidget* widget) { FKeepVisible = widget; }

  // Starts the burner; false when it cannot be started (no box is needed then).
  bool Start();
  // Starts the burner and shows the box until the burner has ended: its exit
  // code, or kExecFailed when it could not be started, died by a signal, was
  // aborted or stopped at its time limit.
  std::uint32_t Run();

  bool Finished() const { return FFinished; }
  bool Aborted() const { return FWatch.Aborted(); }
  bool TimedOut() const { return FWatch.TimedOut(); }
  bool BurnerStarted() const { return FWatch.Started(); }
  std::uint32_t Result() const { return FResult; }
  ProcessId BurnerId() const { return FWatch.BurnerId(); }
  // What became of the burn, once Finished.
  BurnOutcome Outcome() const { return FWatch.Outcome(); }

  // The command line, read-only.
  QLineEdit* CommandView() const { return FCommandView; }
  // Which image and serial number this is.
  QLabel* ContextLabel() const { return FContextLabel; }
  QLabel* StatusLabel() const { return FStatusLabel; }
  // Null when "Hide" is checked: there is no output to show.
  QPlainTextEdit* OutputView() const { return FOutputView; }
  QPushButton* AbortButton() const { return FAbortButton; }

 signals:
  // The burner has ended (by itself or by Abort) and been reaped.
  void BurnerFinished(std::uint32_t result);

 public slots:
  // Runs the stop sequence (SIGTERM to the burner and everything it started,
  // SIGKILL after kAbortGraceMs; on Windows the burner's job is ended at once)
  // and closes the box once all is reaped.
  void Abort();
  // Escape and the title bar's close box are Abort: the operator wants out.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void WaitBeforeShowing();
  void PlaceBesideOwner();
  void ReadOutput();
  // Lets go of the notifier of a pipe that has closed.
  void DropClosedNotifiers();
  void AddOutput(ChildStream stream, std::string_view bytes);
  void ShowPendingOutput();
  void PollBurner();
  // The stop sequence has begun (Abort, or the time limit): the box says so.
  void ShowStopping();
  void Finish();

  BurnRequest FRequest;
  OutputTail FTail{kMaxLines, kMaxLineLength};
  // One decoder a stream: a character cut between two reads of one stream
  // must not take bytes of the other.
  QStringDecoder FDecoders[2] = {QStringDecoder(QStringDecoder::System),
                                 QStringDecoder(QStringDecoder::System)};
  BurnWatch FWatch;
  QSocketNotifier* FOutputNotifiers[2] = {nullptr, nullptr};  // by ChildStream
  QTimer* FPollTimer;
  QTimer* FRefreshTimer;
  QTimer* FGraceTimer;
  bool FStoppingShown = false;
  bool FStepQueued = false;
  bool FFinished = false;
  std::uint32_t FResult = kExecFailed;

  QLabel* FContextLabel;
  QLineEdit* FCommandView;
  QWidget* FKeepVisible = nullptr;
  QLabel* FStatusLabel;
  QPlainTextEdit* FOutputView = nullptr;
  QPushButton* FAbortButton;
};

}  // namespace velmorin
