// The optional profile keys that say how a serial number is handed out and in
// which form firmware reads it: SeqNumFormat, SeqNumStep, LastSeqNum, and
// SerialPool, the pool a serial server draws the profile's numbers from. They
// are one group of the optional keys (OptionalKeys.h), which keeps the rules
// every such key follows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "profiles/ProfileKeys.h"

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

// The key of the serial server's pool a profile draws from.
inline const std::string kSerialPoolKey = "SerialPool";

// The group of optional keys of the serial number rules (see OptionalKeys.h).
struct SeqNumRules {
  std::optional<SeqNumFormat> Format;
  std::optional<std::int32_t> Step;
  std::optional<std::int32_t> Last;  // the last number the profile may hand out
  // The serial server's pool; by default the skeleton file's name without
  // its extension (PoolName).
  std::optional<std::string> Pool;

  SeqNumFormat FormatOrDefault() const { return Format.value_or(SeqNumFormat::Binary); }
  std::int32_t StepOrDefault() const { return Step.value_or(1); }

  // SeqNumFormat, SeqNumStep, LastSeqNum, SerialPool.
  static const std::vector<std::string>& KeyNames();
  // A format that is none of the five, a step outside 1 to 65535, or a step
  // or last number that is no 32-bit integer is refused.
  std::string Read(const std::string& key, const std::string& text);
  void Encode(ProfileKeyValues& values) const;
  void Show(ShownValues& shown) const;

  bool operator==(const SeqNumRules&) const = default;
};

// The pool a serial server draws the numbers of `skeletonPath`'s profile
// from: SerialPool when set, else the file's name without its extension
// ("board" for /fw/board.hex).
std::string PoolName(const SeqNumRules& rules, const std::string& skeletonPath);

// How many bytes a slot of SN Size `size` takes in `format`: `size` for every
// form but utf16, which takes two bytes a character. 0 for a size of 0 or below.
std::uint32_t SeqNumSlotBytes(SeqNumFormat format, std::int32_t size);

// The name the INI file holds for a format ("binary", "bcd", ...).
const char* SeqNumFormatName(SeqNumFormat format);

}  // namespace velmorin
