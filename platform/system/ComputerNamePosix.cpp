#include <unistd.h>

#include "platform/system/ComputerName.h"

namespace velmorin {

std::string ComputerName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace velmorin
