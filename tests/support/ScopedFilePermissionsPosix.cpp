// The POSIX half of ScopedFilePermissions: the capabilities that bypass
// permission checks, dropped with capset.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/support/ScopedFilePermissions.h"

namespace velmorin::test {

namespace {
bool GetCaps(__user_cap_data_struct (&data)[2]) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return ::syscall(SYS_capget, &header, data) == 0;
}
bool SetCaps(__user_cap_data_struct (&data)[2]) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return ::syscall(SYS_capset, &header, data) == 0;
}
}  // namespace

ScopedFilePermissions::ScopedFilePermissions() {
  __user_cap_data_struct data[2]{};
  if (!GetCaps(data)) throw std::runtime_error("capget failed");
  FSavedEffective[0] = data[0].effective;
  FSavedEffective[1] = data[1].effective;
  const unsigned bypass =
      (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
  if ((data[0].effective & bypass) == 0) return;  // an ordinary user: nothing to drop
  data[0].effective &= ~bypass;
  if (!SetCaps(data)) throw std::runtime_error("capset failed");
  FChanged = true;
}

ScopedFilePermissions::~ScopedFilePermissions() {
  if (!FChanged) return;
  __user_cap_data_struct data[2]{};
  if (!GetCaps(data)) return;
  data[0].effective = FSavedEffective[0];
  data[1].effective = FSavedEffective[1];
  SetCaps(data);
}

}  // namespace velmorin::test
