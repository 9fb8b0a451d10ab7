// The box shown while a burner runs. It says which image of the batch and
// which serial number are on the chip, names the command line and, unless
// "Hide" is checked, shows what the burner writes to its standard output and
// error as it arrives, the newest line in view. Its one button, Abort, ends
// the burner and everything it started. It is modal, so the main window takes
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
#include "platform/process/WatchedProcess.h"
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

  TBurnerRunDialog(const std::string& commandLine, bool hide, QWidget* parent = nullptr,
                   const BurnContext& context = {});
  ~TBurnerRunDialog() override;

  // "Image 3 of 10, serial 1002" in a batch, "Serial 1002" for a single image.
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
  // code, or kExecFailed when it could not be started, died by a signal, or
  // was aborted.
  std::uint32_t Run();

  bool Finished() const { return FFinished; }
  bool Aborted() const { return FAborted; }
  bool BurnerStarted() const { return FProcess.Started(); }
  std::uint32_t Result() const { return FResult; }
  ProcessId BurnerId() const { return FProcess.Id(); }

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
  void DrainOutput();
  void ShowPendingOutput();
  void PollBurner();
  void Finish();

  std::string FCommandLine;
  bool FHide;
  WatchedProcess FProcess;
  ProcessTreeStopper FStopper{FProcess};
  OutputTail FTail{kMaxLines, kMaxLineLength};
  QStringDecoder FDecoder{QStringDecoder::System};
  QSocketNotifier* FOutputNotifier = nullptr;
  QTimer* FPollTimer;
  QTimer* FRefreshTimer;
  QTimer* FGraceTimer;
  bool FAborted = false;
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
