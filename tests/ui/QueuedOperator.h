// An operator for the window's tests: answers boxes and prompts from queues
// the test fills, and records what was shown. A question with no answer left
// gets Cancel (or the prompt's default) and is counted, for the test to check.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "serialize/Operator.h"

namespace velmorin::test {

class QueuedOperator : public Operator {
 public:
  struct Box {
    std::string text;
    BoxKind kind;
    BoxButtons buttons;
  };

  std::deque<TModalResult> answers;
  std::deque<std::string> promptAnswers;
  std::vector<Box> boxes;
  std::vector<std::string> promptTitles;
  std::vector<std::string> promptTexts;  // the question and its default, one string each
  int unanswered = 0;

  TModalResult ShowMessageBox(const std::string& text, BoxKind kind, BoxButtons buttons) override {
    boxes.push_back({text, kind, buttons});
    if (answers.empty()) {
      ++unanswered;
      return mrCancel;
    }
    const TModalResult answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::string PromptText(const std::string& title, const std::string& prompt,
                         const std::string& defaultText) override {
    promptTitles.push_back(title);
    promptTexts.push_back(prompt + " [" + defaultText + "]");
    if (promptAnswers.empty()) {
      ++unanswered;
      return defaultText;
    }
    std::string answer = promptAnswers.front();
    promptAnswers.pop_front();
    return answer;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Box& box : boxes) texts.push_back(box.text);
    return texts;
  }
};

}  // namespace velmorin::test
