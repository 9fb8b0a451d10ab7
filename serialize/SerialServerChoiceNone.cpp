// The build without libpq (the Windows cross-build): no serial server.
#include "serialize/SerialServerChoice.h"

namespace velmorin {

SerialSourceConnector SerialServerConnector() {
  return {};
}

}  // namespace velmorin
