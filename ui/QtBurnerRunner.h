// Runs the burner for the window: while it runs, the running-burner box shows
// its command line and output and offers Abort. Same contract as the core's
// runner: a request in, the outcome out (an aborted burn, or one stopped at
// its time limit, gives kExecFailed and says so); the box feeds the request's
// judge, when it has one.
#pragma once

#include <QObject>
#include <cstdint>
#include <string>

#include "serialize/BurnerRunner.h"

class QWidget;

namespace velmorin {

class TQtBurnerRunner : public QObject, public BurnerRunner {
  Q_OBJECT

 public:
  // `window` is the box's parent, and owns the runner; the box stays clear
  // of `keepVisible` (the progress bar) when given.
  explicit TQtBurnerRunner(QWidget* window, QWidget* keepVisible = nullptr);

  BurnOutcome Run(const BurnRequest& request) override;

 private:
  QWidget* FWindow;
  QWidget* FKeepVisible;
};

}  // namespace velmorin
