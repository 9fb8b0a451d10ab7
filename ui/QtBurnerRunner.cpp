#include "ui/QtBurnerRunner.h"

#include <QWidget>

#include "ui/BurnerRunDialog.h"

namespace velmorin {

TQtBurnerRunner::TQtBurnerRunner(QWidget* window, QWidget* keepVisible)
    : QObject(window), FWindow(window), FKeepVisible(keepVisible) {}

BurnOutcome TQtBurnerRunner::Run(const std::string& commandLine, WindowShow show,
                                 const BurnContext& context) {
  TBurnerRunDialog box(commandLine, show == WindowShow::Hidden, FWindow, context);
  box.SetKeepVisible(FKeepVisible);
  BurnOutcome outcome;
  outcome.ExitCode = box.Run();
  outcome.Started = box.BurnerStarted();
  outcome.Aborted = box.Aborted();
  return outcome;
}

}  // namespace velmorin
