#include "LinePattern.h"

#include <utility>

#if VELMORIN_HAVE_RE2
#include <re2/re2.h>
#endif

namespace velmorin {

LinePattern::LinePattern(std::string text, std::shared_ptr<const re2::RE2> compiled)
    : FText(std::move(text)), FCompiled(std::move(compiled)) {}

#if VELMORIN_HAVE_RE2

bool LinePattern::Supported() {
  return true;
}

std::optional<LinePattern> LinePattern::Compile(const std::string& text, std::string& why) {
  // Quiet: a refused pattern is told to the operator in a message of ours,
  // not logged to standard error besides.
  RE2::Options options(RE2::Quiet);
#ifdef _WIN32
  options.set_encoding(RE2::Options::EncodingLatin1);
#endif
  auto compiled = std::make_shared<const RE2>(text, options);
  if (!compiled->ok()) {
    why = compiled->error();
    return std::nullopt;
  }
  why.clear();
  return LinePattern(text, std::move(compiled));
}

bool LinePattern::Matches(std::string_view line) const {
  return RE2::PartialMatch(re2::StringPiece(line.data(), line.size()), *FCompiled);
}

#else

bool LinePattern::Supported() {
  return false;
}

std::optional<LinePattern> LinePattern::Compile(const std::string& /*text*/, std::string& why) {
  why = "this build of Velmorin was made without RE2 and cannot match a burner's output";
  return std::nullopt;
}

bool LinePattern::Matches(std::string_view /*line*/) const {
  // No pattern exists to be asked.
  return false;
}

#endif

}  // namespace velmorin
