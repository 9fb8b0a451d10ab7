// Velmorin: stamps serial numbers into Intel HEX firmware images.
#include <QApplication>
#include <memory>

#include "Version.h"
#include "ui/ErrorGuard.h"
#include "ui/MessageForm.h"
#include "ui/Principal.h"
#include "ui/TerminateRequest.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The title names the program on the task bar and captions the error boxes.
  // No separate display name: on X11 Qt would append one to every box's title
  // ("Confirm - Velmorin"), and the display name falls back to the application name.
  const QString title = QString::fromLatin1(velmorin::version::kProductName);
  QApplication::setApplicationName(title);
  QApplication::setApplicationVersion(QString::fromLatin1(velmorin::version::kFileVersion));
  velmorin::SetApplicationTitle(title);
  // Ties the window to its desktop entry (and so its icon) on Wayland.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.velmorin.Velmorin"));

  // The window finds its INI file beside the executable, or for an installed
  // copy in the user's configuration folder; should the system not say where
  // the executable is, the error box tells the operator instead of a crash.
  std::unique_ptr<velmorin::TFormPrincipal> formPrincipal;
  if (!velmorin::RunGuarded([&] { formPrincipal = std::make_unique<velmorin::TFormPrincipal>(); }))
    return 1;
  velmorin::TerminateRequest terminate(*formPrincipal);
  formPrincipal->show();
  int result = QApplication::exec();
  // Another copy held the INI file: this one ended without touching it.
  if (formPrincipal->IniFileRefused()) result = 1;
  // Destroyed while the application object still exists (FormDestroy may
  // still have to show an error box).
  formPrincipal.reset();
  return result;
}
