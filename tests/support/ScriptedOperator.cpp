#include "tests/support/ScriptedOperator.h"

#include <gtest/gtest.h>

namespace velmorin::test {

ScriptedOperator::~ScriptedOperator() {
  if (!FBoxAnswers.empty() || !FPromptAnswers.empty()) {
    ADD_FAILURE() << FBoxAnswers.size() << " box answer(s) and " << FPromptAnswers.size()
                  << " prompt answer(s) were never asked for";
  }
}

ScriptedOperator& ScriptedOperator::AnswerBox(TModalResult result) {
  FBoxAnswers.push_back(result);
  return *this;
}

ScriptedOperator& ScriptedOperator::AnswerPrompt(std::string text) {
  FPromptAnswers.push_back(std::move(text));
  return *this;
}

TModalResult ScriptedOperator::ShowMessageBox(const std::string& text, BoxKind kind,
                                              BoxButtons buttons) {
  boxes.push_back({text, kind, buttons});
  if (FBoxAnswers.empty()) {
    ADD_FAILURE() << "unexpected message box: \"" << text << "\"";
    return mrCancel;
  }
  const TModalResult answer = FBoxAnswers.front();
  FBoxAnswers.pop_front();
  return answer;
}

std::string ScriptedOperator::PromptText(const std::string& title, const std::string& prompt,
                                         const std::string& defaultText) {
  prompts.push_back({title, prompt, defaultText});
  if (FPromptAnswers.empty()) {
    ADD_FAILURE() << "unexpected prompt: \"" << prompt << "\"";
    return defaultText;
  }
  std::string answer = std::move(FPromptAnswers.front());
  FPromptAnswers.pop_front();
  return answer;
}

}  // namespace velmorin::test
