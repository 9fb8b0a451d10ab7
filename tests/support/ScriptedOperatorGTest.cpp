// The GoogleTest half of the scripted operator: a fault fails the case at hand.
#include <gtest/gtest.h>

#include "tests/support/ScriptedOperator.h"

namespace velmorin::test {

void ReportOperatorFault(const std::string& what) {
  ADD_FAILURE() << what;
}

}  // namespace velmorin::test
