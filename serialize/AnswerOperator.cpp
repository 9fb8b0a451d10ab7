#include "serialize/AnswerOperator.h"

namespace velmorin {

TModalResult AnswerOperator::ShowMessageBox(const std::string& text, BoxKind kind,
                                            BoxButtons buttons) {
  FLastBox = Box{text, kind, buttons};
  ++FBoxCount;
  if (FObserver) FObserver(*FLastBox);
  return FBoxAnswer;
}

std::string AnswerOperator::PromptText(const std::string&, const std::string&,
                                       const std::string& defaultText) {
  ++FPromptCount;
  return FPromptAnswer ? *FPromptAnswer : defaultText;
}

}  // namespace velmorin
