#include "profiles/SerialSource.h"

#include "profiles/ProfileKeys.h"

namespace velmorin {

void RequirePoolName(const std::string& name) {
  if (name.empty()) throw EProfileValueError("The pool name is empty");
  if (name.find_first_of("\r\n") != std::string::npos) {
    throw EProfileValueError("The pool name \"" + name +
                             "\" holds a line break, which no profile could name");
  }
}

}  // namespace velmorin
