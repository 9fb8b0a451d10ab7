// Turns an operating-system failure on a file into the EInOutError the operator
// sees, with the codes a Windows build would report for the same situation.
// FileErrorsPosix.cpp and FileErrorsWin.cpp are the two halves, FileErrors.cpp
// what they share.
#pragma once

#include <string>
#include <string_view>

#include "base/Exceptions.h"

namespace velmorin {

// The EInOutError code for the system error `err` met while opening or
// writing `path`. POSIX: `err` is an errno; ENOENT counts as "File not found"
// when the file's folder exists and as "Invalid filename" when the folder
// itself is missing. Windows: `err` is a GetLastError() code and is kept as it
// is (2, 3, 4 and 5 are the table's), except that ERROR_DISK_FULL and
// ERROR_HANDLE_DISK_FULL become 101 "Disk full".
int InOutErrorCode(int err, const std::string& path);

// Throws the EInOutError for the system error `err` on `path`.
[[noreturn]] void RaiseInOutError(int err, const std::string& path);

// The message of that EInOutError, for a caller that names the failure in
// words of its own ("Unable to lock <ini>: File access denied").
std::string InOutErrorMessage(int err, const std::string& path);

// The folder part of a path ("." when it has none). Windows: "\", "/" and a
// drive colon end it, and "C:" or "C:\" stay whole.
std::string FolderOf(const std::string& path);

}  // namespace velmorin
