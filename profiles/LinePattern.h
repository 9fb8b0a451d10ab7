// A regular expression that one line of a burner's output is matched against:
// the patterns BurnerFailText and BurnerOkText of a profile. Matching takes
// time linear in the line whatever the pattern (RE2, which never
// backtracks), so no pattern an operator types can hang a burn. The text is
// taken as this program's 8-bit text: UTF-8 on POSIX, where the INI file and
// a burner's output are UTF-8 (a byte that is no part of well-formed UTF-8
// counts as one character, U+FFFD, so that "." matches it too); single bytes
// (Latin-1 rules, which give every ANSI byte a character of its own) on
// Windows. A match may lie anywhere in the line; "^" and "$" mark the line's
// start and end.
//
// A pattern is compiled once and shared by its copies; it compares by its
// text. A build without RE2 (the Windows build without its RE2 package)
// compiles no pattern: every text is refused, so that a profile that asks
// for its burner's output to be judged is never run without that judgement.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace re2 {
class RE2;
}

namespace velmorin {

class LinePattern {
 public:
  // Whether this build can compile patterns at all.
  static bool Supported();

  // The pattern `text` stands for, or nothing with `why` set to the reason
  // it is refused: RE2's own words ("missing ): (unclosed"), or that this
  // build matches no patterns.
  static std::optional<LinePattern> Compile(const std::string& text, std::string& why);

  // The text the pattern was compiled from, as the profile holds it.
  const std::string& Text() const { return FText; }

  // Whether `line` (without its line end) holds a match.
  bool Matches(std::string_view line) const;

  bool operator==(const LinePattern& other) const { return FText == other.FText; }

 private:
  LinePattern(std::string text, std::shared_ptr<const re2::RE2> compiled);

  std::string FText;
  std::shared_ptr<const re2::RE2> FCompiled;
};

}  // namespace velmorin
