// Text for the serial server's text columns, which hold UTF-8 only. Names
// here are bytes (a Linux file name need not be UTF-8; the Windows build's
// are in the ANSI code page), and a take must not fail on them. A name that
// is UTF-8 goes as it is, so the tables stay readable to a quality system.
// One that is not goes with each byte outside a UTF-8 character written as
// \xNN (two upper-case hex digits) and each backslash doubled; so does a
// name that itself holds "\x" and two hex digits. Every name thus has one
// text of its own (two pools never meet under one name), and a reader gets
// the bytes back by undoing the escapes of a text that holds one.
#pragma once

#include <string>
#include <string_view>

namespace velmorin {

std::string ServerText(std::string_view bytes);

}  // namespace velmorin
