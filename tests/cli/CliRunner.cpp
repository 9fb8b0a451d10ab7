#include "tests/cli/CliRunner.h"

namespace velmorin::test {

std::string CliPath() {
  return VELMORIN_CLI;
}

}  // namespace velmorin::test
