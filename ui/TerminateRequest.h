// SIGTERM (a logout, a shutdown, `kill`) closes the main window as Exit would,
// so DefaultImg is stored and the program ends with 0. A signal handler may do
// next to nothing, so it only writes a byte into a socket that the event loop
// watches; the close happens there, between two event handlers. A SIGTERM that
// arrives while a box or a burner holds the window (a handler is half done)
// ends the program as the default action would: the INI file is replaced
// whole or not at all, so nothing is left broken. POSIX only.
#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

namespace velmorin {

class TerminateRequest : public QObject {
  Q_OBJECT

 public:
  // Closes `window` on SIGTERM from now until destruction.
  explicit TerminateRequest(QWidget& window);
  ~TerminateRequest() override;

  TerminateRequest(const TerminateRequest&) = delete;
  TerminateRequest& operator=(const TerminateRequest&) = delete;

 private:
  void Arrived();

  QWidget& FWindow;
  QSocketNotifier* FNotifier = nullptr;
};

}  // namespace velmorin
