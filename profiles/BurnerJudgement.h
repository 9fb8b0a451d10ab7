// The optional profile keys that say how a burn is judged beyond its exit
// code: BurnerFailText and BurnerOkText, patterns a line of the burner's
// output is matched against; BurnerTimeout, the seconds a burner may run
// before it is stopped; BurnerRetries, how often a failed burn of an image is
// run again. Many device programmers exit 0 after a failed write, and some
// hang on a stuck probe; these keys let a profile catch both. The window
// neither shows nor compares them; the profile store keeps them beside the
// seventeen values, and a key that is absent from the file stays absent, so
// that a profile without them reads, writes and burns exactly as before.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "IniFile.h"
#include "LinePattern.h"

namespace velmorin {

// BurnerTimeout: 0 stands for no limit, as an absent key does.
inline constexpr std::int32_t kMaxBurnerTimeout = 86400;
inline constexpr std::int32_t kMaxBurnerRetries = 9;

struct BurnerJudgement {
  // A burn whose output has a line matching it fails, whatever its exit code.
  std::optional<LinePattern> FailText;
  // A burn is done only if its exit code is 0 and a line matches it.
  std::optional<LinePattern> OkText;
  std::optional<std::int32_t> Timeout;  // seconds
  std::optional<std::int32_t> Retries;

  // Whether the burner's output must be read and matched.
  bool ReadsOutput() const { return FailText.has_value() || OkText.has_value(); }
  // How long a burner may run; nothing for no limit.
  std::optional<std::chrono::seconds> TimeLimit() const {
    if (!Timeout || *Timeout <= 0) return std::nullopt;
    return std::chrono::seconds(*Timeout);
  }
  // How many times an image's burner runs at most: once, and once for each retry.
  int MaxAttempts() const { return 1 + Retries.value_or(0); }

  bool operator==(const BurnerJudgement&) const = default;
};

// The four keys, in the order they are written.
const std::vector<std::string>& BurnerJudgementKeyNames();

// The stored spelling of one of the four keys (letter case ignored), or
// nullptr when `key` is none of them.
const std::string* BurnerJudgementKeyName(std::string_view key);

// The keys that are present, with their text, in key order.
std::vector<std::pair<std::string, std::string>> EncodeBurnerJudgement(
    const BurnerJudgement& judgement);

// The judgement stored in `section`. Raises EProfileValueError, naming the
// key, its value, the profile and why, for a pattern that does not compile
// (with RE2's reason) or is empty, a timeout outside 0 to 86400 or a retry
// count outside 0 to 9, or a number that is no integer.
BurnerJudgement DecodeBurnerJudgement(const IniFile::Contents& ini, const std::string& section);

// Sets one of the four keys from its text. Raises EProfileValueError,
// leaving `judgement` as it was, for a text that DecodeBurnerJudgement would
// refuse, one longer than the INI file keeps, or one with a line break.
void ApplyBurnerJudgementKey(BurnerJudgement& judgement, std::string_view key,
                             const std::string& text);

}  // namespace velmorin
