// Whether a file-system entry of this name is present, as the serialize
// commands test a skeleton file before reading it. A folder counts as present,
// and the test never shows a box or raises. POSIX: stat(), so the name is taken
// literally. Windows: a directory search (FindFirstFileA) with the
// critical-error boxes off, so a name with wildcards is present when it
// matches some entry (the read that follows then fails with its own error).
#pragma once

#include <string>

namespace velmorin {

bool FileExists(const std::string& path);

}  // namespace velmorin
