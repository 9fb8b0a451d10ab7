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

std::string FormatList() {
  std::string list;
  for (const SeqNumFormat format : kFormats) {
    list += (list.empty() ? "" : ", ") + std::string(SeqNumFormatName(format));
  }
  return list;
}

}  // namespace

std::string SeqNumRules::Read(const std::string& key, const std::string& text) {
  SeqNumRules& rules = *this;
  if (key == kFormatKey) {
    for (const SeqNumFormat format : kFormats) {
      if (IniFile::SameName(text, SeqNumFormatName(format))) {
        rules.Format = format;
        return {};
      }
    }
    return "is no serial number format; the formats are " + FormatList();
  }
  if (key == kSerialPoolKey) {
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

std::uint32_t SeqNumSlotBytes(SeqNumFormat format, std::int32_t size) {
  if (size <= 0) return 0;
  const auto count = static_cast<std::uint32_t>(size);
  return format == SeqNumFormat::Utf16 ? 2 * count : count;
}

std::string PoolName(const SeqNumRules& rules, const std::string& skeletonPath) {
  if (rules.Pool && !rules.Pool->empty()) return *rules.Pool;
  return std::filesystem::path(skeletonPath).stem().string();
}

const std::vector<std::string>& SeqNumRules::KeyNames() {
  static const std::vector<std::string> names{kFormatKey, kStepKey, kLastKey, kSerialPoolKey};
  return names;
}

void SeqNumRules::Encode(ProfileKeyValues& values) const {
  if (Format) values.emplace_back(kFormatKey, SeqNumFormatName(*Format));
  if (Step) values.emplace_back(kStepKey, std::to_string(*Step));
  if (Last) values.emplace_back(kLastKey, std::to_string(*Last));
  if (Pool) values.emplace_back(kSerialPoolKey, *Pool);
}

void SeqNumRules::Show(ShownValues& shown) const {
  if (Format) shown.push_back({kFormatKey, std::string(SeqNumFormatName(*Format))});
  if (Step) shown.push_back({kStepKey, std::int64_t{*Step}});
  if (Last) shown.push_back({kLastKey, std::int64_t{*Last}});
  if (Pool) shown.push_back({kSerialPoolKey, *Pool});
}

}  // namespace velmorin
