#include "profiles/LinePattern.h"

#include <utility>

#include "platform/system/TextEncoding.h"

#if VELMORIN_HAVE_RE2
#include <re2/re2.h>
#endif

namespace velmorin {

LinePattern::LinePattern(std::string text, std::shared_ptr<const re2::RE2> compiled)
    : FText(std::move(text)), FCompiled(std::move(compiled)) {}

#if VELMORIN_HAVE_RE2

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0
// when there is none there (a stray continuation byte, an overlong form, a
// surrogate, a code point past U+10FFFF, or a sequence cut short).
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;   // the bounds of the second byte, which rule out
  unsigned char high = 0xBF;  // overlong forms, surrogates and too large code points
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

// `line` with every byte that is no part of well-formed UTF-8 replaced by
// U+FFFD, or nothing when the line is well-formed. RE2's "." matches no such
// byte, so a fail text such as "Error.*failed" would miss a line that a
// burner wrote in another code page.
std::optional<std::string> WithoutMalformedUtf8(std::string_view line) {
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t length = Utf8SequenceLength(line.substr(at));
    if (length == 0) break;
    at += length;
  }
  if (at == line.size()) return std::nullopt;
  std::string mended(line.substr(0, at));
  while (at < line.size()) {
    const std::size_t length = Utf8SequenceLength(line.substr(at));
    if (length == 0) {
      mended += "\xEF\xBF\xBD";
      ++at;
    } else {
      mended += line.substr(at, length);
      at += length;
    }
  }
  return mended;
}

}  // namespace

bool LinePattern::Supported() {
  return true;
}

std::optional<LinePattern> LinePattern::Compile(const std::string& text, std::string& why) {
  // Quiet: a refused pattern is told to the operator in a message of ours,
  // not logged to standard error besides.
  RE2::Options options(RE2::Quiet);
  // Single bytes of the ANSI code page are Latin-1 to RE2: every byte a
  // character of its own.
  if (CoreTextEncoding() == CoreEncoding::AnsiCodePage) {
    options.set_encoding(RE2::Options::EncodingLatin1);
  }
  auto compiled = std::make_shared<const RE2>(text, options);
  if (!compiled->ok()) {
    why = compiled->error();
    return std::nullopt;
  }
  why.clear();
  return LinePattern(text, std::move(compiled));
}

bool LinePattern::Matches(std::string_view line) const {
  if (CoreTextEncoding() == CoreEncoding::Utf8) {
    if (const std::optional<std::string> mended = WithoutMalformedUtf8(line)) {
      return RE2::PartialMatch(*mended, *FCompiled);
    }
  }
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
