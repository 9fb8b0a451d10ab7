// Runs the burner for the window: while it runs, the running-burner box shows
// its command line and output and offers Abort. Same contract as the core's
// ExecAndWait: a command line and a visibility value in, the exit code or
// kExecFailed out (an aborted burn gives kExecFailed and says it was aborted).
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

  BurnOutcome Run(const std::string& commandLine, WindowShow show,
                  const BurnContext& context) override;

 private:
  QWidget* FWindow;
  QWidget* FKeepVisible;
};

}  // namespace velmorin
