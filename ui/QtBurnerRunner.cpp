#include "ui/QtBurnerRunner.h"

#include <QWidget>

#include "ui/BurnerRunDialog.h"

namespace velmorin {

TQtBurnerRunner::TQtBurnerRunner(QWidget* window, QWidget* keepVisible)
    : QObject(window), FWindow(window), FKeepVisible(keepVisible) {}

BurnOutcome TQtBurnerRunner::Run(const BurnRequest& request) {
  TBurnerRunDialog box(request, FWindow);
  box.SetKeepVisible(FKeepVisible);
  box.Run();
  return box.Outcome();
}

}  // namespace velmorin
