// The 8-bit text the core works in: UTF-8 on POSIX, the ANSI code page on
// Windows. The front ends convert at their edge; the core writes the few
// characters beyond ASCII it shows through here.
#pragma once

#include <string_view>

namespace velmorin {

// "¿": the two bytes C2 BF in UTF-8, the one byte BF in the ANSI code page.
std::string_view InvertedQuestionMark();

}  // namespace velmorin
