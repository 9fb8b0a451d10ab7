#include "BurnerCommand.h"

#include "CommandLine.h"

namespace velmorin {

namespace {
#ifdef _WIN32
// The burner and the platform split the line; only a blank needs quoting.
constexpr std::string_view kNeedsQuoting = " ";
#else
// Every character that SplitCommandLine treats specially.
constexpr std::string_view kNeedsQuoting = " \t'\"";
#endif
}  // namespace

std::string QuoteBurnerPath(std::string_view path) {
  if (path.find_first_of(kNeedsQuoting) == std::string_view::npos) return std::string(path);
  return QuoteArgument(path);
}

std::string BuildBurnerCommandLine(std::string_view commandTemplate, std::string_view path) {
  const std::string argument = QuoteBurnerPath(path);
  std::string line;
  std::size_t from = 0;
  while (true) {
    const std::size_t at = commandTemplate.find(kImagePlaceholder, from);
    if (at == std::string_view::npos) break;
    line.append(commandTemplate.substr(from, at - from));
    line += argument;
    from = at + kImagePlaceholder.size();
  }
  line.append(commandTemplate.substr(from));
  return line;
}

}  // namespace velmorin
