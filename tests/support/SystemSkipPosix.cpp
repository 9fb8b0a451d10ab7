#include "tests/support/SystemSkip.h"

namespace velmorin::test {

bool WindowsBuild() {
  return false;
}

}  // namespace velmorin::test
