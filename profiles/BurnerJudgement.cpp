#include "profiles/BurnerJudgement.h"

#include "base/ParseInteger.h"

namespace velmorin {

namespace {

const std::string kFailTextKey = "BurnerFailText";
const std::string kOkTextKey = "BurnerOkText";
const std::string kTimeoutKey = "BurnerTimeout";
const std::string kRetriesKey = "BurnerRetries";

std::string ReadPattern(std::optional<LinePattern>& pattern, const std::string& text) {
  // An empty pattern matches every line: a fail text would fail every burn,
  // an ok text would pass any burner that says anything. Leaving the key out
  // is how a profile goes without one.
  if (text.empty()) return "is empty, and every line would match it";
  std::string why;
  std::optional<LinePattern> compiled = LinePattern::Compile(text, why);
  if (!compiled) {
    if (!LinePattern::Supported()) return "can't be used: " + why;
    return "is no regular expression: " + why;
  }
  pattern = std::move(compiled);
  return {};
}

std::string ReadCount(std::optional<std::int32_t>& count, const std::string& text, std::int32_t max,
                      const char* unit) {
  const std::optional<std::int32_t> value = TryParseInteger(text);
  if (!value) return "is not a number";
  if (*value < 0 || *value > max) {
    return "is outside 0 to " + std::to_string(max) + std::string(unit);
  }
  count = *value;
  return {};
}

}  // namespace

const std::vector<std::string>& BurnerJudgement::KeyNames() {
  static const std::vector<std::string> names{kFailTextKey, kOkTextKey, kTimeoutKey, kRetriesKey};
  return names;
}

std::string BurnerJudgement::Read(const std::string& key, const std::string& text) {
  if (key == kFailTextKey) return ReadPattern(FailText, text);
  if (key == kOkTextKey) return ReadPattern(OkText, text);
  if (key == kTimeoutKey) {
    return ReadCount(Timeout, text, kMaxBurnerTimeout, " seconds (0: no limit)");
  }
  return ReadCount(Retries, text, kMaxBurnerRetries, "");
}

void BurnerJudgement::Encode(ProfileKeyValues& values) const {
  if (FailText) values.emplace_back(kFailTextKey, FailText->Text());
  if (OkText) values.emplace_back(kOkTextKey, OkText->Text());
  if (Timeout) values.emplace_back(kTimeoutKey, std::to_string(*Timeout));
  if (Retries) values.emplace_back(kRetriesKey, std::to_string(*Retries));
}

void BurnerJudgement::Show(ShownValues& shown) const {
  if (FailText) shown.push_back({kFailTextKey, FailText->Text()});
  if (OkText) shown.push_back({kOkTextKey, OkText->Text()});
  if (Timeout) shown.push_back({kTimeoutKey, std::int64_t{*Timeout}});
  if (Retries) shown.push_back({kRetriesKey, std::int64_t{*Retries}});
}

}  // namespace velmorin
