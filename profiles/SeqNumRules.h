// The optional profile keys that say how a serial number is handed out and in
// which form firmware reads it: SeqNumFormat, SeqNumStep, LastSeqNum, and
// SerialPool, the pool a serial server draws the profile's numbers from. The
// window neither shows nor compares them; the profile store
// keeps them beside the seventeen values, and a key that is absent from the
// file stays absent, so that a profile without them reads and writes exactly
// as before.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ini/IniFile.h"

namespace velmorin {

// How the number's bytes look in the image. SN Size counts bytes for the
// byte forms (binary, bcd) and characters for the text forms.
enum class SeqNumFormat {
  Binary,    // the 32-bit pattern's bytes, in the profile's byte order
  Bcd,       // packed BCD, two decimal digits a byte, in the profile's byte order
  Ascii,     // decimal digits as ASCII, zero-padded on the left
  AsciiHex,  // upper-case hexadecimal digits as ASCII, zero-padded on the left
  Utf16,     // decimal digits as UTF-16LE code units, two bytes a character
};

inline constexpr std::int32_t kMinSeqNumStep = 1;
inline constexpr std::int32_t kMaxSeqNumStep = 65535;

struct SeqNumRules {
  std::optional<SeqNumFormat> Format;
  std::optional<std::int32_t> Step;
  std::optional<std::int32_t> Last;  // the last number the profile may hand out
  // The serial server's pool; by default the skeleton file's name without
  // its extension (PoolName).
  std::optional<std::string> Pool;

  SeqNumFormat FormatOrDefault() const { return Format.value_or(SeqNumFormat::Binary); }
  std::int32_t StepOrDefault() const { return Step.value_or(1); }

  bool operator==(const SeqNumRules&) const = default;
};

// The pool a serial server draws the numbers of `skeletonPath`'s profile
// from: SerialPool when set, else the file's name without its extension
// ("board" for /fw/board.hex).
std::string PoolName(const SeqNumRules& rules, const std::string& skeletonPath);

// The name the INI file holds for a format ("binary", "bcd", ...).
const char* SeqNumFormatName(SeqNumFormat format);

// The four keys, in the order they follow the seventeen.
const std::vector<std::string>& SeqNumRuleKeyNames();

// The stored spelling of one of the four keys (letter case ignored), or
// nullptr when `key` is none of them.
const std::string* SeqNumRuleKeyName(std::string_view key);

// The keys that are present, with their text, in key order.
std::vector<std::pair<std::string, std::string>> EncodeSeqNumRules(const SeqNumRules& rules);

// The rules stored in `section`. Raises EProfileValueError, naming the key,
// its value and the profile, for a format that is none of the five, a step
// outside 1 to 65535, or a step or last number that is no 32-bit integer.
SeqNumRules DecodeSeqNumRules(const IniFile::Contents& ini, const std::string& section);

// Sets one of the four keys from its text (letter case of a format name
// ignored). Raises EProfileValueError, leaving `rules` as it was, for a text
// that DecodeSeqNumRules would refuse.
void ApplySeqNumRule(SeqNumRules& rules, std::string_view key, const std::string& text);

}  // namespace velmorin
