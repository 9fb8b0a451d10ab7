// The burner's command line: the output path goes into the template quoted by
// BurnerCommand and must come out of our splitter as exactly that path, in the
// places the template put "$image", whatever bytes the path holds.
//
// Input: the template, a NUL byte, then the path. Quote characters are taken
// out of the template, so "$image" never stands inside a quoted run (a
// template that quotes "$image" itself is the operator's own choice). A
// template without "$image" gets " $image" appended.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "platform/process/CommandLine.h"
#include "serialize/BurnerCommand.h"

namespace {

bool IsSeparator(char c) {
  return c == ' ' || c == '\t';
}

// What the burner must receive: the template's blank-separated words, each
// "$image" in a word (left to right, inserted text never scanned again)
// replaced by the path; a word that comes out empty is no argument.
std::vector<std::string> Expected(std::string_view commandTemplate, std::string_view path) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < commandTemplate.size()) {
    while (i < commandTemplate.size() && IsSeparator(commandTemplate[i])) ++i;
    const std::size_t begin = i;
    while (i < commandTemplate.size() && !IsSeparator(commandTemplate[i])) ++i;
    std::string_view word = commandTemplate.substr(begin, i - begin);
    std::string argument;
    while (!word.empty()) {
      if (word.starts_with(velmorin::kImagePlaceholder)) {
        argument += path;
        word.remove_prefix(velmorin::kImagePlaceholder.size());
      } else {
        argument += word.front();
        word.remove_prefix(1);
      }
    }
    if (!argument.empty()) words.push_back(std::move(argument));
  }
  return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  std::string commandTemplate;
  for (const char c : input.substr(0, nul)) {
    if (c != '\'' && c != '"') commandTemplate += c;
  }
  if (commandTemplate.find(velmorin::kImagePlaceholder) == std::string::npos) {
    commandTemplate += " $image";
  }
  const std::string_view path = nul == input.npos ? std::string_view() : input.substr(nul + 1);

  // One argument on its own always reads back as itself, empty or not.
  FUZZ_CHECK(velmorin::SplitCommandLine(velmorin::QuoteArgument(path)) ==
             std::vector<std::string>{std::string(path)});

  // In a template, a path with no blank or quote goes in as it stands; the
  // path is wrapped in apostrophes otherwise, and either way splits back whole.
  const std::string quoted = velmorin::QuoteBurnerPath(path);
  if (path.find_first_of(" \t'\"") == path.npos) FUZZ_CHECK(quoted == path);
  const std::string line = velmorin::BuildBurnerCommandLine(commandTemplate, path);
  FUZZ_CHECK(velmorin::SplitCommandLine(line) == Expected(commandTemplate, path));
  return 0;
}
