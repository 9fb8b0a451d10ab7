// The Qt Test half of the scripted operator: a fault is counted by the
// operator itself (ScriptedOperator::unanswered, PendingAnswers), which each
// test's cleanup checks, and said on the log where it happens.
#include <QtGlobal>

#include "tests/support/ScriptedOperator.h"

namespace velmorin::test {

void ReportOperatorFault(const std::string& what) {
  qWarning("%s", what.c_str());
}

}  // namespace velmorin::test
