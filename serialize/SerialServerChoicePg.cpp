// The build with libpq: numbers from a PostgreSQL server.
#include "serialize/SerialServerChoice.h"
#include "server/ServerSerialSource.h"

namespace velmorin {

SerialSourceConnector SerialServerConnector() {
  return &ConnectSerialServer;
}

}  // namespace velmorin
