// The C library's descriptor calls the console needs, under the names each
// system gives them (write, dup on POSIX; _write, _dup on Windows).
// ConsolePosix.cpp and ConsoleWin.cpp define them; Console.cpp writes the
// console's rules once over them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace velmorin::console_calls {

// The descriptor behind `stream`.
int Descriptor(std::FILE* stream);
// Writes the first bytes of `text` to `fd`: how many, or -1 with errno set.
std::ptrdiff_t Write(int fd, std::string_view text);
// A new descriptor on what `fd` is open on, or -1.
int Duplicate(int fd);
// Makes `onto` a copy of `fd`; false when the system refuses.
bool DuplicateOnto(int fd, int onto);
// A stream for writing to `fd`, or nullptr.
std::FILE* WritingStream(int fd);

}  // namespace velmorin::console_calls
