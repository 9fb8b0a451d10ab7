// A file that only ever grows by whole lines, such as the production record: each
// append is one write, flushed to disk before it returns, so that a crash loses
// at most the line being written and never leaves a line behind that a later one
// runs into.
#pragma once

#include <string>
#include <string_view>

namespace velmorin {

// Appends `line` (which carries its own line end) to `fileName`. A new or empty
// file gets `header` first. When the last line already in the file has no line
// end (a write cut short by a crash), `lineEnd` completes it first. The file is
// created when missing; a name that exists and is not a regular file is refused.
// Raises EInOutError.
void AppendRecordLine(const std::string& fileName, std::string_view header, std::string_view line,
                      std::string_view lineEnd);

}  // namespace velmorin
