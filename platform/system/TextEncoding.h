// The 8-bit text the core works in: UTF-8 on POSIX, the ANSI code page on
// Windows. The front ends convert at their edge; the core writes the few
// characters beyond ASCII it shows through here, and cuts text to a length
// through here, so that a cut never leaves half a character where the
// encoding has characters of more than one byte.
#pragma once

#include <cstddef>
#include <string_view>

namespace velmorin {

// "¿": the two bytes C2 BF in UTF-8, the one byte BF in the ANSI code page.
std::string_view InvertedQuestionMark();

// How many bytes of `text` are kept when it is cut to at most `limit` bytes:
// all of it when it is no longer. UTF-8 is cut before a character that would
// not fit whole; a character has at most three bytes after its first, so a run
// of stray continuation bytes (text in another encoding) costs at most three.
// The ANSI code page is cut at `limit` as it stands.
std::size_t CutLength(std::string_view text, std::size_t limit);

}  // namespace velmorin
