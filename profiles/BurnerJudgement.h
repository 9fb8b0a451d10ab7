// The optional profile keys that say how a burn is judged beyond its exit
// code: BurnerFailText and BurnerOkText, patterns a line of the burner's
// output is matched against; BurnerTimeout, the seconds a burner may run
// before it is stopped; BurnerRetries, how often a failed burn of an image is
// run again. Many device programmers exit 0 after a failed write, and some
// hang on a stuck probe; these keys let a profile catch both. They are one
// group of the optional keys (OptionalKeys.h), which keeps the rules every
// such key follows: a profile without them reads, writes and burns exactly
// as before.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "profiles/LinePattern.h"
#include "profiles/ProfileKeys.h"

namespace velmorin {

// BurnerTimeout: 0 stands for no limit, as an absent key does.
inline constexpr std::int32_t kMaxBurnerTimeout = 86400;
inline constexpr std::int32_t kMaxBurnerRetries = 9;

// The group of optional keys that judge a burn (see OptionalKeys.h).
struct BurnerJudgement {
  // A burn whose output has a line matching it fails, whatever its exit code.
  std::optional<LinePattern> FailText;
  // A burn is done only if its exit code is 0 and a line matches it.
  std::optional<LinePattern> OkText;
  std::optional<std::int32_t> Timeout;  // seconds
  std::optional<std::int32_t> Retries;

  // Whether any of the four keys is present: a burn then tells how many
  // times its burner ran.
  bool Any() const { return FailText || OkText || Timeout || Retries; }
  // Whether the burner's output must be read and matched.
  bool ReadsOutput() const { return FailText.has_value() || OkText.has_value(); }
  // How long a burner may run; nothing for no limit.
  std::optional<std::chrono::seconds> TimeLimit() const {
    if (!Timeout || *Timeout <= 0) return std::nullopt;
    return std::chrono::seconds(*Timeout);
  }
  // How many times an image's burner runs at most: once, and once for each retry.
  int MaxAttempts() const { return 1 + Retries.value_or(0); }

  // BurnerFailText, BurnerOkText, BurnerTimeout, BurnerRetries.
  static const std::vector<std::string>& KeyNames();
  // A pattern that is empty or does not compile (RE2's reason follows), a
  // timeout outside 0 to 86400 or a retry count outside 0 to 9, or a number
  // that is no integer, is refused.
  std::string Read(const std::string& key, const std::string& text);
  void Encode(ProfileKeyValues& values) const;
  void Show(ShownValues& shown) const;

  bool operator==(const BurnerJudgement&) const = default;
};

}  // namespace velmorin
