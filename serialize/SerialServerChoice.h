// How this build reaches the serial server that "[Options] SerialServer"
// names: through libpq where the build has it (server/), else not at all.
// CMake compiles one of the two definitions, so the session chooses the
// connector once for every front end.
#pragma once

#include "profiles/SerialSource.h"

namespace velmorin {

// The connector of this build; empty when it has no way to reach a server
// (a station whose INI file names one then stores and serializes nothing).
SerialSourceConnector SerialServerConnector();

}  // namespace velmorin
