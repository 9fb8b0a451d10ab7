#include "platform/process/CommandLine.h"

namespace velmorin {

namespace {
bool IsSeparator(char c) {
  return c == ' ' || c == '\t';
}
bool IsQuote(char c) {
  return c == '\'' || c == '"';
}
}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> arguments;
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (true) {
    while (i < n && IsSeparator(line[i])) ++i;
    if (i == n) break;
    std::string argument;
    while (i < n && !IsSeparator(line[i])) {
      const char c = line[i++];
      if (!IsQuote(c)) {
        argument += c;
        continue;
      }
      // A literal run up to the closing quote; a doubled quote is one quote.
      while (i < n) {
        if (line[i] != c) {
          argument += line[i++];
        } else if (i + 1 < n && line[i + 1] == c) {
          argument += c;
          i += 2;
        } else {
          ++i;
          break;
        }
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::string QuoteArgument(std::string_view argument) {
  std::string quoted = "'";
  for (const char c : argument) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  quoted += '\'';
  return quoted;
}

}  // namespace velmorin
