#include "tests/support/SystemSkip.h"

namespace velmorin::test {

bool WindowsBuild() {
  return true;
}

}  // namespace velmorin::test
