#include "BurnerJudgement.h"

#include "ParseInteger.h"
#include "ProfileKeys.h"

namespace velmorin {

namespace {

const std::string kFailTextKey = "BurnerFailText";
const std::string kOkTextKey = "BurnerOkText";
const std::string kTimeoutKey = "BurnerTimeout";
const std::string kRetriesKey = "BurnerRetries";

// No value the INI file holds can contain a line break, so this default tells
// an absent key from a present one.
const std::string kAbsent = "\n";

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

// Reads `text` into `judgement` under `key` (one of the four, stored
// spelling); returns why the text is refused, or an empty text when it is
// taken.
std::string ReadKey(BurnerJudgement& judgement, const std::string& key, const std::string& text) {
  if (key == kFailTextKey) return ReadPattern(judgement.FailText, text);
  if (key == kOkTextKey) return ReadPattern(judgement.OkText, text);
  if (key == kTimeoutKey) {
    return ReadCount(judgement.Timeout, text, kMaxBurnerTimeout, " seconds (0: no limit)");
  }
  return ReadCount(judgement.Retries, text, kMaxBurnerRetries, "");
}

}  // namespace

const std::vector<std::string>& BurnerJudgementKeyNames() {
  static const std::vector<std::string> names{kFailTextKey, kOkTextKey, kTimeoutKey, kRetriesKey};
  return names;
}

const std::string* BurnerJudgementKeyName(std::string_view key) {
  for (const std::string& name : BurnerJudgementKeyNames()) {
    if (IniFile::SameName(name, key)) return &name;
  }
  return nullptr;
}

std::vector<std::pair<std::string, std::string>> EncodeBurnerJudgement(
    const BurnerJudgement& judgement) {
  std::vector<std::pair<std::string, std::string>> values;
  if (judgement.FailText) values.emplace_back(kFailTextKey, judgement.FailText->Text());
  if (judgement.OkText) values.emplace_back(kOkTextKey, judgement.OkText->Text());
  if (judgement.Timeout) values.emplace_back(kTimeoutKey, std::to_string(*judgement.Timeout));
  if (judgement.Retries) values.emplace_back(kRetriesKey, std::to_string(*judgement.Retries));
  return values;
}

BurnerJudgement DecodeBurnerJudgement(const IniFile::Contents& ini, const std::string& section) {
  BurnerJudgement judgement;
  for (const std::string& key : BurnerJudgementKeyNames()) {
    const std::string text = ini.ReadString(section, key, kAbsent);
    if (text == kAbsent) continue;
    const std::string why = ReadKey(judgement, key, text);
    if (!why.empty()) {
      throw EProfileValueError("Value \"" + text + "\" for " + key + " in the profile of " +
                               section + " " + why);
    }
  }
  return judgement;
}

void ApplyBurnerJudgementKey(BurnerJudgement& judgement, std::string_view keyText,
                             const std::string& text) {
  const std::string* key = BurnerJudgementKeyName(keyText);
  if (key == nullptr) throw EProfileValueError("Unknown key \"" + std::string(keyText) + "\"");
  std::string why;
  if (text.find_first_of("\r\n") != std::string::npos) {
    why = "holds a line break, which the INI file cannot keep";
  } else if (text.size() > IniFile::kMaxValueLength) {
    why = "is longer than the INI file keeps (" + std::to_string(IniFile::kMaxValueLength) +
          " bytes)";
  } else {
    BurnerJudgement changed = judgement;
    why = ReadKey(changed, *key, text);
    if (why.empty()) judgement = std::move(changed);
  }
  if (!why.empty()) throw EProfileValueError("Value \"" + text + "\" for " + *key + " " + why);
}

}  // namespace velmorin
