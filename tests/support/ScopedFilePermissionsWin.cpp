// The Windows half of ScopedFilePermissions: Windows has no permission bits
// to bypass; tests that need them skip there.
#include "tests/support/ScopedFilePermissions.h"

namespace velmorin::test {

ScopedFilePermissions::ScopedFilePermissions() = default;
ScopedFilePermissions::~ScopedFilePermissions() = default;

}  // namespace velmorin::test
