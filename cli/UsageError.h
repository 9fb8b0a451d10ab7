// A command line that asks for something the program doesn't know or can't
// take: it ends with exit code 2 before anything is touched.
#pragma once

#include "base/Exceptions.h"

namespace velmorin::cli {

class EUsageError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace velmorin::cli
