// The burner's command line: the profile's template with the output file's
// path in place of every "$image", and, for a burner in one of several slots
// (serialize --slots), the slot's value in place of every "$slot".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmorin {

// The placeholders in the template, matched exactly and case-sensitively.
inline constexpr std::string_view kImagePlaceholder = "$image";
inline constexpr std::string_view kSlotPlaceholder = "$slot";

// The path as it goes into the command line: wrapped in apostrophes (those
// inside doubled) when it holds a blank, unchanged otherwise. On POSIX, where
// our own splitter reads the line back, a path is also wrapped when it holds a
// tab, an apostrophe or a double quote, so that the burner always receives
// exactly the path as one argument. A slot's value goes in by the same rule.
std::string QuoteBurnerPath(std::string_view path);

// The output path as the burner is to receive it. On POSIX a path that starts
// with "-" (a skeleton named "-rf.hex" and no output folder) would read as an
// option to most programs; it goes as "./" + path, the same file. Elsewhere,
// and for every other path, the path itself.
std::string BurnerPathOf(std::string_view outputPath);

// `commandTemplate` with every "$image" replaced, left to right, by
// QuoteBurnerPath(path); inserted text is never scanned again. With a
// `slotValue`, every "$slot" is replaced by QuoteBurnerPath(*slotValue) in
// the same scan (so a path that holds "$slot" keeps it); without one, "$slot"
// is text like any other.
std::string BuildBurnerCommandLine(std::string_view commandTemplate, std::string_view path,
                                   const std::optional<std::string>& slotValue = std::nullopt);

}  // namespace velmorin
