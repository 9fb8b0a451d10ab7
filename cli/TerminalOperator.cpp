#include "cli/TerminalOperator.h"

#include <cerrno>
#include <cstdio>

#include "platform/system/Console.h"

namespace velmorin::cli {

namespace {

// Standard error, unbuffered, so that the question is there before the wait.
void Say(const std::string& text) {
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

// Message texts come with CR LF line breaks, as the window's boxes take them.
std::string WithoutCarriageReturns(std::string text) {
  std::string plain;
  for (const char c : text) {
    if (c != '\r') plain += c;
  }
  return plain;
}

}  // namespace

std::optional<std::string> TerminalOperator::ReadAnswer() {
  std::string line;
  for (;;) {
    char c = 0;
    const int got = ReadStandardInputByte(c);
    if (got < 0 && errno == EINTR && !FStop.load()) continue;
    if (got <= 0) return std::nullopt;  // end of input, an error, or a stop
    if (c == '\n') break;
    line += c;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

TModalResult TerminalOperator::ShowMessageBox(const std::string& text, BoxKind kind,
                                              BoxButtons buttons) {
  const std::string message = WithoutCarriageReturns(text);
  if (kind == BoxKind::Error) {
    FLastError = message;
    return mrOk;
  }
  const bool question = (buttons & box_button::Cancel) != 0;
  if (!question) {
    // A report such as "Image serialized OK.": the exit code says it already.
    return mrOk;
  }
  if (FAnswerYes) return mrOk;
  for (;;) {
    if (FStop.load()) return mrCancel;
    if (FBeforeQuestion) FBeforeQuestion();
    Say(message + " [Enter: OK, c Enter: Cancel] ");
    const std::optional<std::string> answer = ReadAnswer();
    if (!answer) {
      Say("\n");
      return mrCancel;
    }
    if (answer->empty()) return mrOk;
    if (*answer == "c" || *answer == "C") return mrCancel;
  }
}

std::string TerminalOperator::PromptText(const std::string& /*title*/,
                                         const std::string& /*prompt*/,
                                         const std::string& defaultText) {
  // The command line gives the batch's size as --count; nothing is asked.
  return defaultText;
}

}  // namespace velmorin::cli
