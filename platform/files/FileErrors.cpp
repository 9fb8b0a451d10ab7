// What FileErrors.h gives on every system, over the table of its half.
#include "platform/files/FileErrors.h"

namespace velmorin {

std::string InOutErrorMessage(int err, const std::string& path) {
  try {
    RaiseInOutError(err, path);
  } catch (const EInOutError& e) {
    return e.Message();
  }
}

}  // namespace velmorin
