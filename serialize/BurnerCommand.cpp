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

std::string BuildBurnerCommandLine(std::string_view commandTemplate, std::string_view path,
                                   const std::optional<std::string>& slotValue) {
  // Each placeholder with what goes in its place, and whether that is quoted.
  struct Replacement {
    std::string_view Placeholder;
    std::string Argument;
    bool Quoted = false;
  };
  const auto replacement = [](std::string_view placeholder, std::string_view text) {
    Replacement r{placeholder, QuoteBurnerPath(text)};
    r.Quoted = r.Argument.size() != text.size();
    return r;
  };
  const Replacement image = replacement(kImagePlaceholder, path);
  std::optional<Replacement> slot;
  if (slotValue) slot = replacement(kSlotPlaceholder, *slotValue);

  const bool ownSplitter = CommandLineSplitByUs();
  std::string line;
  std::size_t from = 0;
  bool endsInQuotedArgument = false;
  while (true) {
    const Replacement* next = &image;
    std::size_t at = commandTemplate.find(kImagePlaceholder, from);
    if (slot) {
      const std::size_t slotAt = commandTemplate.find(kSlotPlaceholder, from);
      if (slotAt < at) {
        at = slotAt;
        next = &*slot;
      }
    }
    if (at == std::string_view::npos) break;
    line.append(commandTemplate.substr(from, at - from));
    // Two quoted arguments back to back ("$image$image") would read as one
    // run with a doubled apostrophe in the middle; they share one run instead.
    if (ownSplitter && next->Quoted && endsInQuotedArgument && at == from) {
      line.pop_back();
      line.append(next->Argument, 1);
    } else {
      line += next->Argument;
    }
    endsInQuotedArgument = next->Quoted;
    from = at + next->Placeholder.size();
  }
  line.append(commandTemplate.substr(from));
  return line;
}

}  // namespace velmorin
