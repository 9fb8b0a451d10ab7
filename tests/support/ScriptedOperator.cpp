#include "tests/support/ScriptedOperator.h"

namespace velmorin::test {

ScriptedOperator::~ScriptedOperator() {
  if (PendingAnswers() != 0) {
    ReportOperatorFault(std::to_string(answers.size()) + " box answer(s) and " +
                        std::to_string(promptAnswers.size()) +
                        " prompt answer(s) were never asked for");
  }
}

ScriptedOperator& ScriptedOperator::AnswerBox(TModalResult result) {
  answers.push_back(result);
  return *this;
}

ScriptedOperator& ScriptedOperator::AnswerPrompt(std::string text) {
  promptAnswers.push_back(std::move(text));
  return *this;
}

TModalResult ScriptedOperator::ShowMessageBox(const std::string& text, BoxKind kind,
                                              BoxButtons buttons) {
  boxes.push_back({text, kind, buttons});
  if (answers.empty()) {
    ++unanswered;
    ReportOperatorFault("unexpected message box: \"" + text + "\"");
    return mrCancel;
  }
  const TModalResult answer = answers.front();
  answers.pop_front();
  return answer;
}

std::string ScriptedOperator::PromptText(const std::string& title, const std::string& prompt,
                                         const std::string& defaultText) {
  prompts.push_back({title, prompt, defaultText});
  if (promptAnswers.empty()) {
    ++unanswered;
    ReportOperatorFault("unexpected prompt: \"" + prompt + "\"");
    return defaultText;
  }
  std::string answer = std::move(promptAnswers.front());
  promptAnswers.pop_front();
  return answer;
}

void ScriptedOperator::Reset() {
  answers.clear();
  promptAnswers.clear();
  boxes.clear();
  prompts.clear();
  unanswered = 0;
}

std::vector<std::string> ScriptedOperator::Texts() const {
  std::vector<std::string> texts;
  for (const Box& box : boxes) texts.push_back(box.text);
  return texts;
}

}  // namespace velmorin::test
