#include "profiles/SeqNumRules.h"

#include <array>
#include <filesystem>

#include "base/ParseInteger.h"
#include "profiles/ProfileKeys.h"

namespace velmorin {

namespace {

constexpr std::array<SeqNumFormat, 5> kFormats{SeqNumFormat::Binary, SeqNumFormat::Bcd,
                                               SeqNumFormat::Ascii, SeqNumFormat::AsciiHex,
                                               SeqNumFormat::Utf16};

const std::string kFormatKey = "SeqNumFormat";
const std::string kStepKey = "SeqNumStep";
const std::string kLastKey = "LastSeqNum";
const std::string kPoolKey = "SerialPool";

// No value the INI file holds can contain a line break, so this default tells
// an absent key from a present one.
const std::string kAbsent = "\n";

std::string FormatList() {
  std::string list;
  for (const SeqNumFormat format : kFormats) {
    list += (list.empty() ? "" : ", ") + std::string(SeqNumFormatName(format));
  }
  return list;
}

// Reads `text` into `rules` under `key` (one of the four, stored spelling);
// returns why the text is refused, or an empty text when it is taken.
std::string ReadRule(SeqNumRules& rules, const std::string& key, const std::string& text) {
  if (key == kFormatKey) {
    for (const SeqNumFormat format : kFormats) {
      if (IniFile::SameName(text, SeqNumFormatName(format))) {
        rules.Format = format;
        return {};
      }
    }
    return "is no serial number format; the formats are " + FormatList();
  }
  if (key == kPoolKey) {
    // Any name the INI file can hold: the server takes it as a value.
    rules.Pool = text;
    return {};
  }
  const std::optional<std::int32_t> value = TryParseInteger(text);
  if (!value) return "is not a 32-bit integer";
  if (key == kStepKey) {
    if (*value < kMinSeqNumStep || *value > kMaxSeqNumStep) {
      return "is outside " + std::to_string(kMinSeqNumStep) + " to " +
             std::to_string(kMaxSeqNumStep);
    }
    rules.Step = *value;
  } else {
    rules.Last = *value;
  }
  return {};
}

}  // namespace

const char* SeqNumFormatName(SeqNumFormat format) {
  switch (format) {
    case SeqNumFormat::Binary:
      return "binary";
    case SeqNumFormat::Bcd:
      return "bcd";
    case SeqNumFormat::Ascii:
      return "ascii";
    case SeqNumFormat::AsciiHex:
      return "ascii-hex";
    case SeqNumFormat::Utf16:
      return "utf16";
  }
  return "binary";
}

std::string PoolName(const SeqNumRules& rules, const std::string& skeletonPath) {
  if (rules.Pool && !rules.Pool->empty()) return *rules.Pool;
  return std::filesystem::path(skeletonPath).stem().string();
}

const std::vector<std::string>& SeqNumRuleKeyNames() {
  static const std::vector<std::string> names{kFormatKey, kStepKey, kLastKey, kPoolKey};
  return names;
}

const std::string* SeqNumRuleKeyName(std::string_view key) {
  for (const std::string& name : SeqNumRuleKeyNames()) {
    if (IniFile::SameName(name, key)) return &name;
  }
  return nullptr;
}

std::vector<std::pair<std::string, std::string>> EncodeSeqNumRules(const SeqNumRules& rules) {
  std::vector<std::pair<std::string, std::string>> values;
  if (rules.Format) values.emplace_back(kFormatKey, SeqNumFormatName(*rules.Format));
  if (rules.Step) values.emplace_back(kStepKey, std::to_string(*rules.Step));
  if (rules.Last) values.emplace_back(kLastKey, std::to_string(*rules.Last));
  if (rules.Pool) values.emplace_back(kPoolKey, *rules.Pool);
  return values;
}

SeqNumRules DecodeSeqNumRules(const IniFile::Contents& ini, const std::string& section) {
  SeqNumRules rules;
  for (const std::string& key : SeqNumRuleKeyNames()) {
    const std::string text = ini.ReadString(section, key, kAbsent);
    if (text == kAbsent) continue;
    const std::string why = ReadRule(rules, key, text);
    if (!why.empty()) {
      throw EProfileValueError("Value \"" + text + "\" for " + key + " in the profile of " +
                               section + " " + why);
    }
  }
  return rules;
}

void ApplySeqNumRule(SeqNumRules& rules, std::string_view keyText, const std::string& text) {
  const std::string* key = SeqNumRuleKeyName(keyText);
  if (key == nullptr) {
    throw EProfileValueError("Unknown key \"" + std::string(keyText) + "\"");
  }
  SeqNumRules changed = rules;
  const std::string why = ReadRule(changed, *key, text);
  if (!why.empty()) throw EProfileValueError("Value \"" + text + "\" for " + *key + " " + why);
  rules = changed;
}

}  // namespace velmorin
