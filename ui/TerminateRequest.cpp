#include "ui/TerminateRequest.h"

// The window differs by system here: SIGTERM (a logout, kill) exists on
// POSIX only; a Windows window is closed by the system's own messages.
#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QThread>
#include <QWidget>
#include <cerrno>
#include <csignal>

namespace velmorin {

namespace {

int gSocket[2] = {-1, -1};

extern "C" void OnTerminate(int) {
  const int saved = errno;
  const char byte = 1;
  (void)!::write(gSocket[1], &byte, 1);
  errno = saved;
}

}  // namespace

TerminateRequest::TerminateRequest(QWidget& window) : FWindow(window) {
  // Close-on-exec: a burner inherits none of our descriptors.
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gSocket) != 0) {
    gSocket[0] = gSocket[1] = -1;
    return;  // SIGTERM keeps its default action
  }
  FNotifier = new QSocketNotifier(gSocket[0], QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, &TerminateRequest::Arrived);
  struct sigaction action {};
  action.sa_handler = OnTerminate;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
}

TerminateRequest::~TerminateRequest() {
  if (gSocket[0] < 0) return;
  ::signal(SIGTERM, SIG_DFL);
  delete FNotifier;
  ::close(gSocket[0]);
  ::close(gSocket[1]);
  gSocket[0] = gSocket[1] = -1;
}

void TerminateRequest::Arrived() {
  char bytes[16];
  while (::read(gSocket[0], bytes, sizeof bytes) > 0) {
  }
  // Inside a box's or the burner's own loop a handler waits to finish: closing
  // the window under it would close the store it still uses.
  if (QThread::currentThread()->loopLevel() > 1) {
    ::signal(SIGTERM, SIG_DFL);
    ::raise(SIGTERM);
    return;
  }
  FWindow.close();
}

}  // namespace velmorin

#else

namespace velmorin {
TerminateRequest::TerminateRequest(QWidget& window) : FWindow(window) {}
TerminateRequest::~TerminateRequest() = default;
void TerminateRequest::Arrived() {}
}  // namespace velmorin

#endif
