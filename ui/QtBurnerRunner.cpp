#include "QtBurnerRunner.h"

#include <QWidget>

#ifndef _WIN32
#include "BurnerRunDialog.h"
#endif

namespace velmorin {

TQtBurnerRunner::TQtBurnerRunner(QWidget* window) : QObject(window), FWindow(window) {}

std::uint32_t TQtBurnerRunner::Run(const std::string& commandLine, int show) {
#ifdef _WIN32
  // There the burner shows its own console window, as the platform does it.
  return ExecAndWait(commandLine, show);
#else
  TBurnerRunDialog box(commandLine, show == kShowHide, FWindow);
  return box.Run();
#endif
}

}  // namespace velmorin
