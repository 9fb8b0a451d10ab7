// An operator nobody sits at: every message box gets one fixed answer and
// every prompt one fixed text (its default unless told otherwise). It is the
// operator of the command line, the benchmarks and the crash-test children,
// which run the core without a window; it keeps the last box, and can hand
// each box to an observer as it is shown (to print it, say).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "serialize/Operator.h"

namespace velmorin {

class AnswerOperator : public Operator {
 public:
  struct Box {
    std::string Text;
    BoxKind Kind = BoxKind::Information;
    BoxButtons Buttons = 0;
  };
  using BoxObserver = std::function<void(const Box&)>;

  explicit AnswerOperator(TModalResult boxAnswer = mrOk) : FBoxAnswer(boxAnswer) {}

  // What every message box returns from now on.
  void SetBoxAnswer(TModalResult answer) { FBoxAnswer = answer; }
  // What every prompt returns from now on; nullopt: the prompt's own default,
  // as Cancel would give.
  void SetPromptAnswer(std::optional<std::string> answer) { FPromptAnswer = std::move(answer); }
  // Called with every box before it is answered; empty: none.
  void SetBoxObserver(BoxObserver observer) { FObserver = std::move(observer); }

  TModalResult ShowMessageBox(const std::string& text, BoxKind kind, BoxButtons buttons) override;
  std::string PromptText(const std::string& title, const std::string& prompt,
                         const std::string& defaultText) override;

  // The last box shown; nullopt before the first.
  const std::optional<Box>& LastBox() const { return FLastBox; }
  // Its text, empty before the first box.
  std::string LastBoxText() const { return FLastBox ? FLastBox->Text : std::string(); }
  std::size_t BoxCount() const { return FBoxCount; }
  std::size_t PromptCount() const { return FPromptCount; }

 private:
  TModalResult FBoxAnswer;
  std::optional<std::string> FPromptAnswer;
  BoxObserver FObserver;
  std::optional<Box> FLastBox;
  std::size_t FBoxCount = 0;
  std::size_t FPromptCount = 0;
};

}  // namespace velmorin
