#include "platform/process/CommandLine.h"

namespace velmorin {

bool CommandLineNeedsQuoting(std::string_view argument) {
  // Every character that SplitCommandLine treats specially.
  return argument.find_first_of(" \t'\"") != std::string_view::npos;
}

bool CommandLineSplitByUs() {
  return true;
}

std::string PathArgument(std::string_view path) {
  if (path.starts_with('-')) return "./" + std::string(path);
  return std::string(path);
}

}  // namespace velmorin
