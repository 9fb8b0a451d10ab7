// Turns an operating-system failure on a file into the EInOutError the operator
// sees, with the codes a Windows build would report for the same situation.
#pragma once

#include <string>

#include "Exceptions.h"

namespace velmorin {

// The EInOutError code for errno `err` met while opening or writing `path`.
// ENOENT counts as "File not found" when the file's folder exists and as
// "Invalid filename" when the folder itself is missing.
int InOutErrorCode(int err, const std::string& path);

// Throws the EInOutError for errno `err` on `path`.
[[noreturn]] void RaiseInOutError(int err, const std::string& path);

// The folder part of a path ("." when it has none).
std::string FolderOf(const std::string& path);

}  // namespace velmorin
