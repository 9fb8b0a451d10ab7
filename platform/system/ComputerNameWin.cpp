#include <windows.h>

#include "platform/system/ComputerName.h"

namespace velmorin {

std::string ComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof name;
  if (GetComputerNameA(name, &size)) return std::string(name, size);
  return {};
}

}  // namespace velmorin
