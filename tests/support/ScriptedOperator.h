// An operator for tests of the core: answers message boxes and prompts from
// queues the test fills beforehand, and records every box and prompt shown.
// A question with no answer left fails the test (and gets Cancel, or the
// prompt's default); answers still queued when the operator is destroyed fail
// it too, since the question the test expected was never asked.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "serialize/Operator.h"

namespace velmorin::test {

class ScriptedOperator : public Operator {
 public:
  struct Box {
    std::string text;
    BoxKind kind;
    BoxButtons buttons;
  };
  struct Prompt {
    std::string title;
    std::string prompt;
    std::string defaultText;
  };

  ScriptedOperator() = default;
  ScriptedOperator(const ScriptedOperator&) = delete;
  ScriptedOperator& operator=(const ScriptedOperator&) = delete;
  ~ScriptedOperator() override;

  // Queues the result of the next message box.
  ScriptedOperator& AnswerBox(TModalResult result);
  // Queues the text the next prompt returns (what OK would give back; queue
  // the default text to act out Cancel).
  ScriptedOperator& AnswerPrompt(std::string text);

  TModalResult ShowMessageBox(const std::string& text, BoxKind kind, BoxButtons buttons) override;
  std::string PromptText(const std::string& title, const std::string& prompt,
                         const std::string& defaultText) override;

  // What was shown, in order.
  std::vector<Box> boxes;
  std::vector<Prompt> prompts;

  std::size_t PendingAnswers() const { return FBoxAnswers.size() + FPromptAnswers.size(); }

 private:
  std::deque<TModalResult> FBoxAnswers;
  std::deque<std::string> FPromptAnswers;
};

}  // namespace velmorin::test
