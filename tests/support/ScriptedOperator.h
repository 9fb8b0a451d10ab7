// The operator of every test: answers message boxes and prompts from queues
// the test fills beforehand, and records every box and prompt shown. A
// question with no answer left gets Cancel (or the prompt's default) and is
// counted; answers still queued when the operator is destroyed mean that a
// question the test expected was never asked. Both are reported as a fault of
// the test by the framework's half: ScriptedOperatorGTest.cpp fails a
// GoogleTest case; for Qt Test (ScriptedOperatorQt.cpp) the test's cleanup
// checks `unanswered` and PendingAnswers().
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "serialize/Operator.h"

namespace velmorin::test {

// Reports a fault of the test at hand (defined by each framework's half).
void ReportOperatorFault(const std::string& what);

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

  // Forgets everything: answers, what was shown, the count of questions
  // without an answer.
  void Reset();

  // The answers still queued, in order.
  std::deque<TModalResult> answers;
  std::deque<std::string> promptAnswers;
  // What was shown, in order.
  std::vector<Box> boxes;
  std::vector<Prompt> prompts;
  // Questions that found no answer queued.
  int unanswered = 0;

  std::size_t PendingAnswers() const { return answers.size() + promptAnswers.size(); }
  // The texts of the boxes shown.
  std::vector<std::string> Texts() const;
};

}  // namespace velmorin::test
