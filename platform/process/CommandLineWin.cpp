#include "platform/process/CommandLine.h"

namespace velmorin {

bool CommandLineNeedsQuoting(std::string_view argument) {
  return argument.find(' ') != std::string_view::npos;
}

bool CommandLineSplitByUs() {
  return false;
}

std::string PathArgument(std::string_view path) {
  return std::string(path);
}

}  // namespace velmorin
