#include "ui/QtOperator.h"

#include "ui/MessageForm.h"
#include "ui/TextPrompt.h"

namespace velmorin {

QString ToQt(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQt(const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

TModalResult TQtOperator::ShowMessageBox(const std::string& text, BoxKind kind,
                                         BoxButtons buttons) {
  return velmorin::ShowMessageBox(text, kind, buttons);
}

std::string TQtOperator::PromptText(const std::string& title, const std::string& prompt,
                                    const std::string& defaultText) {
  return velmorin::PromptText(title, prompt, defaultText);
}

}  // namespace velmorin
