#include "serialize/BurnerCommand.h"

#include "platform/process/CommandLine.h"

namespace velmorin {

namespace {
#ifdef _WIN32
// The burner and the platform split the line; only a blank needs quoting.
constexpr std::string_view kNeedsQuoting = " ";
constexpr bool kOwnSplitter = false;
#else
// Every character that SplitCommandLine treats specially.
constexpr std::string_view kNeedsQuoting = " \t'\"";
// SplitCommandLine reads the line back.
constexpr bool kOwnSplitter = true;
#endif
}  // namespace

std::string QuoteBurnerPath(std::string_view path) {
  if (path.find_first_of(kNeedsQuoting) == std::string_view::npos) return std::string(path);
  return QuoteArgument(path);
}

std::string BurnerPathOf(std::string_view outputPath) {
#ifndef _WIN32
  if (outputPath.starts_with('-')) return "./" + std::string(outputPath);
#endif
  return std::string(outputPath);
}

std::string BuildBurnerCommandLine(std::string_view commandTemplate, std::string_view path) {
  const std::string argument = QuoteBurnerPath(path);
  const bool quoted = argument.size() != path.size();
  std::string line;
  std::size_t from = 0;
  bool endsInQuotedPath = false;
  while (true) {
    const std::size_t at = commandTemplate.find(kImagePlaceholder, from);
    if (at == std::string_view::npos) break;
    line.append(commandTemplate.substr(from, at - from));
    // Two quoted paths back to back ("$image$image") would read as one run
    // with a doubled apostrophe in the middle; they share one run instead.
    if (kOwnSplitter && quoted && endsInQuotedPath && at == from) {
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
