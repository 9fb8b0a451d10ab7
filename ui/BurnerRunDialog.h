// The box shown while a burner runs. It names the command line and, unless
// "Hide" is checked, shows what the burner writes to its standard output and
// error as it arrives, the newest line in view. Its one button, Abort, ends
// the burner and everything it started. It is modal, so the main window takes
// no input meanwhile, yet its event loop keeps every window painted.
#pragma once

#include <QDialog>
#include <QStringDecoder>
#include <cstdint>
#include <string>

#include "OutputTail.h"
#include "WatchedProcess.h"

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
  static constexpr int kAbortGraceMs = 500;

  TBurnerRunDialog(const std::string& commandLine, bool hide, QWidget* parent = nullptr);
  ~TBurnerRunDialog() override;

  // Starts the burner; false when it cannot be started (no box is needed then).
  bool Start();
  // Starts the burner and shows the box until the burner has ended: its exit
  // code, or kExecFailed when it could not be started, died by a signal, or
  // was aborted.
  std::uint32_t Run();

  bool Finished() const { return FFinished; }
  bool Aborted() const { return FAborted; }
  std::uint32_t Result() const { return FResult; }
  ProcessId BurnerId() const { return FProcess.Id(); }

  // The command line, read-only.
  QLineEdit* CommandView() const { return FCommandView; }
  QLabel* StatusLabel() const { return FStatusLabel; }
  // Null when "Hide" is checked: there is no output to show.
  QPlainTextEdit* OutputView() const { return FOutputView; }
  QPushButton* AbortButton() const { return FAbortButton; }

 signals:
  // The burner has ended (by itself or by Abort) and been reaped.
  void BurnerFinished(std::uint32_t result);

 public slots:
  // Asks the burner's process group to end (SIGTERM), kills it (SIGKILL)
  // after kAbortGraceMs, and closes the box once the burner is reaped.
  void Abort();
  // Escape and the title bar's close box are Abort: the operator wants out.
  void reject() override;

 private:
  void ReadOutput();
  void DrainOutput();
  void ShowPendingOutput();
  void PollBurner();
  void KillAfterGrace();
  void Finish();

  std::string FCommandLine;
  bool FHide;
  WatchedProcess FProcess;
  OutputTail FTail{kMaxLines, kMaxLineLength};
  QStringDecoder FDecoder{QStringDecoder::System};
  QSocketNotifier* FOutputNotifier = nullptr;
  QTimer* FPollTimer;
  QTimer* FRefreshTimer;
  QTimer* FGraceTimer;
  bool FAborted = false;
  bool FKillSent = false;
  bool FFinished = false;
  std::uint32_t FResult = kExecFailed;

  QLineEdit* FCommandView;
  QLabel* FStatusLabel;
  QPlainTextEdit* FOutputView = nullptr;
  QPushButton* FAbortButton;
};

}  // namespace velmorin
