#include "cli/EscapedText.h"

#include <cstdio>

namespace velmorin::cli {

namespace {

void AppendHexEscape(std::string& out, unsigned char byte) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(byte));
  out += escape;
}

}  // namespace

std::string EscapedText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\\') {
      out += "\\\\";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      AppendHexEscape(out, byte);
    } else if (byte == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      AppendHexEscape(out, byte);
      AppendHexEscape(out, static_cast<unsigned char>(text[++i]));
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace velmorin::cli
