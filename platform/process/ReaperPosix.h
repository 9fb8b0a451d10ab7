// A burner behind a reaper of its own (TreeKeeper::OwnReaper): the POSIX
// state of a WatchedProcess that several burners at once can have, each
// tree kept apart. POSIX only; WatchedProcess.h is the interface both
// systems have, and says why the reaper is there.
#pragma once

#include <memory>

#include "platform/process/WatchedProcessState.h"

namespace velmorin {

std::unique_ptr<WatchedProcess::State> MakeReapedState();

}  // namespace velmorin
