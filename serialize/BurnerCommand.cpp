#include "serialize/BurnerCommand.h"

#include "platform/process/CommandLine.h"

namespace velmorin {

std::string QuoteBurnerPath(std::string_view path) {
  if (!CommandLineNeedsQuoting(path)) return std::string(path);
  return QuoteArgument(path);
}

std::string BurnerPathOf(std::string_view outputPath) {
  return PathArgument(outputPath);
}

std::string BuildBurnerCommandLine(std::string_view commandTemplate, std::string_view path) {
  const std::string argument = QuoteBurnerPath(path);
  const bool quoted = argument.size() != path.size();
  const bool ownSplitter = CommandLineSplitByUs();
  std::string line;
  std::size_t from = 0;
  bool endsInQuotedPath = false;
  while (true) {
    const std::size_t at = commandTemplate.find(kImagePlaceholder, from);
    if (at == std::string_view::npos) break;
    line.append(commandTemplate.substr(from, at - from));
    // Two quoted paths back to back ("$image$image") would read as one run
    // with a doubled apostrophe in the middle; they share one run instead.
    if (ownSplitter && quoted && endsInQuotedPath && at == from) {
      line.pop_back();
      line.append(argument, 1);
    } else {
      line += argument;
    }
    endsInQuotedPath = quoted;
    from = at + kImagePlaceholder.size();
  }
  line.append(commandTemplate.substr(from));
  return line;
}

}  // namespace velmorin
