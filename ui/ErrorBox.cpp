#include "ErrorBox.h"

#include <QApplication>

#include "MessageForm.h"
#include "MessageText.h"
#include "QtOperator.h"

namespace velmorin {

void ShowErrorBox(const std::string& message) {
  TMessageForm form(ToQt(ErrorBoxText(message)), BoxKind::Error, box_button::OK, BoxOwner());
  form.setWindowTitle(ApplicationTitle());
  form.exec();
}

}  // namespace velmorin
