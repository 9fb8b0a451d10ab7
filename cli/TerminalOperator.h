// The operator at a terminal: the chip prompt is asked on standard error and
// answered on standard input (Enter is OK; "c" and Enter, or the end of the
// input, are Cancel), or answered OK at once under --yes. An error box
// becomes the command's error, shown once the command ends.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "serialize/Operator.h"

namespace velmorin::cli {

class TerminalOperator : public Operator {
 public:
  // `stop` is set by Ctrl-C or SIGTERM; a prompt it interrupts answers Cancel.
  TerminalOperator(bool answerYes, const std::atomic<bool>& stop)
      : FAnswerYes(answerYes), FStop(stop) {}

  TModalResult ShowMessageBox(const std::string& text, BoxKind kind, BoxButtons buttons) override;
  std::string PromptText(const std::string& title, const std::string& prompt,
                         const std::string& defaultText) override;

  // Called before the chip prompt is asked (to end a progress line).
  void SetBeforeQuestion(std::function<void()> hook) { FBeforeQuestion = std::move(hook); }

  // The text of the last error box, if one was shown.
  const std::optional<std::string>& LastError() const { return FLastError; }
  void ClearLastError() { FLastError.reset(); }

 private:
  // One line of standard input without its line break; nothing at its end or
  // when a stop interrupts the wait.
  std::optional<std::string> ReadAnswer();

  bool FAnswerYes;
  const std::atomic<bool>& FStop;
  std::optional<std::string> FLastError;
  std::function<void()> FBeforeQuestion;
};

}  // namespace velmorin::cli
