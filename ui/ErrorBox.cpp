#include "ui/ErrorBox.h"

#include <QApplication>

#include "serialize/ErrorBoxText.h"
#include "ui/MessageForm.h"
#include "ui/QtOperator.h"

namespace velmorin {

void ShowErrorBox(const std::string& message) {
  TMessageForm form(ToQt(ErrorBoxText(message)), BoxKind::Error, box_button::OK, BoxOwner());
  form.setWindowTitle(ApplicationTitle());
  form.exec();
}

}  // namespace velmorin
