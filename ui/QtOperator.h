// The operator the core talks to, answered by the real boxes; and the text
// conversion at the border between the core's 8-bit strings and Qt.
#pragma once

#include <QString>
#include <string>

#include "serialize/Operator.h"

namespace velmorin {

// Core strings are in the system's 8-bit encoding (UTF-8 on Linux, the ANSI code
// page on Windows); Qt works in UTF-16. Every string crossing the border goes
// through these two.
QString ToQt(const std::string& text);
std::string FromQt(const QString& text);

class TQtOperator : public Operator {
 public:
  TModalResult ShowMessageBox(const std::string& text, BoxKind kind, BoxButtons buttons) override;
  std::string PromptText(const std::string& title, const std::string& prompt,
                         const std::string& defaultText) override;
};

}  // namespace velmorin
