// Velmorin: stamps serial numbers into Intel HEX firmware images.
#include <QApplication>

#include "Principal.h"
#include "Version.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The title names the program on the task bar and captions the error boxes.
  QApplication::setApplicationName(QString::fromLatin1(velmorin::version::kProductName));
  QApplication::setApplicationDisplayName(QString::fromLatin1(velmorin::version::kProductName));
  QApplication::setApplicationVersion(QString::fromLatin1(velmorin::version::kFileVersion));

  velmorin::TFormPrincipal formPrincipal;
  formPrincipal.show();
  return QApplication::exec();
}
