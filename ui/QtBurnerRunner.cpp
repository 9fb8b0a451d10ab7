#include "QtBurnerRunner.h"

#include <QWidget>

#ifndef _WIN32
#include "BurnerRunDialog.h"
#endif

namespace velmorin {

TQtBurnerRunner::TQtBurnerRunner(QWidget* window, QWidget* keepVisible)
    : QObject(window), FWindow(window), FKeepVisible(keepVisible) {}

BurnOutcome TQtBurnerRunner::Run(const std::string& commandLine, int show,
                                 const BurnContext& context) {
#ifdef _WIN32
  // There the burner shows its own console window, as the platform does it.
  ExecBurnerRunner runner;
  return runner.Run(commandLine, show, context);
#else
  TBurnerRunDialog box(commandLine, show == kShowHide, FWindow, context);
  box.SetKeepVisible(FKeepVisible);
  BurnOutcome outcome;
  outcome.ExitCode = box.Run();
  outcome.Started = box.BurnerStarted();
  outcome.Aborted = box.Aborted();
  return outcome;
#endif
}

}  // namespace velmorin
