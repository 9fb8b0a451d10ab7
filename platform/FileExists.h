// Whether a file-system entry of this name is present, as the serialize
// commands test a skeleton file before reading it. A folder counts as present;
// the name is taken literally (no wildcard expansion), and the test never
// shows a box or raises.
#pragma once

#include <string>

namespace velmorin {

bool FileExists(const std::string& path);

}  // namespace velmorin
