// What the POSIX halves of the file units share: a write that goes on until
// every byte is written. POSIX only.
#pragma once

#include <string_view>

namespace velmorin {

// Writes all of `bytes` to `fd`, going on after a short write or an
// interruption: 0 once done, else the errno of the write that failed.
int WriteFully(int fd, std::string_view bytes);

}  // namespace velmorin
