// Names from the serial server, shown as text on a terminal. A pool's name is
// whatever a profile or an SQL client put there: a tab would shift the
// columns of `pool list`, and an escape sequence would reach the terminal and
// act there. Such characters are shown C-style instead:
//   \t \n \r      tab, line feed, carriage return
//   \\            the backslash itself, so that the escaping reads back
//   \xHH          every other control character (0x00-0x1F, 0x7F), and the
//                 two bytes of a UTF-8 C1 control (U+0080-U+009F) each,
//                 upper-case hexadecimal: ESC is \x1B
// Every other byte, UTF-8 letters included, stays as it is.
#pragma once

#include <string>
#include <string_view>

namespace velmorin::cli {

std::string EscapedText(std::string_view text);

}  // namespace velmorin::cli
