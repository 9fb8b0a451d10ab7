#include "profiles/ProfileKeys.h"

#include <cstdio>
#include <type_traits>

#include "base/ParseInteger.h"
#include "profiles/OptionalKeys.h"

namespace velmorin {

namespace {

// How a value's text is checked when an operator types it.
enum class Kind { Integer, Size, Switch, Text, Order };

// Calls `visit(key, value, kind)` for each of the seventeen values, in file
// order: the one list of the keys' names.
template <class Settings, class Visit>
void ForEachValue(Settings& s, Visit&& visit) {
  static const char* const kSlotSwitches[] = {"SetSeqNumOfs1", "SetSeqNumOfs2", "SetSeqNumOfs3",
                                              "SetSeqNumOfs4"};
  static const char* const kSlotAddresses[] = {"SeqNumOfs1", "SeqNumOfs2", "SeqNumOfs3",
                                               "SeqNumOfs4"};
  visit("NextSeqNum", s.NextSeqNum, Kind::Integer);
  visit("AutoIncSeq", s.AutoIncSeq, Kind::Switch);
  visit("SeqNumSize", s.SeqNumSize, Kind::Size);
  for (std::size_t slot = 0; slot < 4; ++slot) {
    visit(kSlotSwitches[slot], s.SetSeqNumOfs[slot], Kind::Switch);
    visit(kSlotAddresses[slot], s.SeqNumOfs[slot], Kind::Integer);
  }
  visit("ByteOrder", s.ByteOrder, Kind::Order);
  visit("BurnerCmdLine", s.BurnerCmdLine, Kind::Text);
  visit("DontBurn", s.DontBurn, Kind::Switch);
  visit("HideBurner", s.HideBurner, Kind::Switch);
  visit("OutputFolder", s.OutputFolder, Kind::Text);
  visit("DontSave", s.DontSave, Kind::Switch);
}

// The number the INI file holds for a byte order, and back.
std::int32_t StoredByteOrder(SerialByteOrder order) {
  switch (order) {
    case SerialByteOrder::MsbFirst:
      return 0;
    case SerialByteOrder::LsbFirst:
      return 1;
    case SerialByteOrder::Unchosen:
      break;
  }
  return -1;
}

SerialByteOrder ByteOrderOfStored(std::int32_t stored) {
  if (stored == 0) return SerialByteOrder::MsbFirst;
  if (stored == 1) return SerialByteOrder::LsbFirst;
  return SerialByteOrder::Unchosen;
}

[[noreturn]] void RefuseValue(const std::string& key, const std::string& text,
                              const std::string& why) {
  throw EProfileValueError("Value \"" + text + "\" for " + key + " " + why);
}

std::int32_t IntegerValue(const std::string& key, const std::string& text) {
  const std::optional<std::int32_t> value = TryParseInteger(text);
  if (!value) RefuseValue(key, text, "is not a 32-bit integer");
  return *value;
}

bool SwitchValue(const std::string& key, const std::string& text) {
  const std::optional<std::int32_t> value = TryParseInteger(text);
  if (!value || (*value != 0 && *value != 1)) RefuseValue(key, text, "is neither 0 nor 1");
  return *value == 1;
}

std::string TextValue(const std::string& key, const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos) {
    RefuseValue(key, text, "holds a line break, which a profile cannot store");
  }
  if (text.size() > IniFile::kMaxValueLength) {
    throw EProfileValueError("The value for " + key + " is longer than " +
                             std::to_string(IniFile::kMaxValueLength) +
                             " bytes, more than the INI file keeps");
  }
  return text;
}

std::int32_t SizeValue(const std::string& key, const std::string& text) {
  const std::int32_t size = IntegerValue(key, text);
  if (size < 0 || size > kMaxSeqNumSize) {
    char limit[16];
    std::snprintf(limit, sizeof limit, "%X", static_cast<unsigned>(kMaxSeqNumSize));
    RefuseValue(key, text, std::string("is outside 0 to ") + limit + " hex");
  }
  return size;
}

}  // namespace

std::vector<std::string> ProfileSections(const IniFile::Contents& ini) {
  std::vector<std::string> names = ini.ReadSections();
  std::erase_if(names,
                [](const std::string& name) { return IniFile::SameName(name, kOptionsSection); });
  return names;
}

const std::vector<std::string>& ProfileKeyNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> keys;
    ProfileSettings defaults;
    ForEachValue(defaults, [&](const char* key, auto&, Kind) { keys.emplace_back(key); });
    return keys;
  }();
  return names;
}

const std::string& ProfileKeyName(std::string_view key) {
  for (const std::string& name : ProfileKeyNames()) {
    if (IniFile::SameName(name, key)) return name;
  }
  throw EProfileValueError("Unknown key \"" + std::string(key) + "\"; a profile has " + [] {
    std::string list;
    for (const std::string& name : ProfileKeyNames()) {
      list += (list.empty() ? "" : ", ") + name;
    }
    for (const std::string& name : OptionalKeys::KeyNames()) list += ", " + name;
    return list;
  }());
}

ProfileKeyValues EncodeProfile(const ProfileSettings& s) {
  ProfileKeyValues values;
  ForEachValue(s, [&](const char* key, const auto& value, Kind) {
    using Value = std::decay_t<decltype(value)>;
    if constexpr (std::is_same_v<Value, bool>) {
      values.emplace_back(key, value ? "1" : "0");
    } else if constexpr (std::is_same_v<Value, std::string>) {
      values.emplace_back(key, value);
    } else if constexpr (std::is_same_v<Value, SerialByteOrder>) {
      values.emplace_back(key, std::to_string(StoredByteOrder(value)));
    } else {
      values.emplace_back(key, std::to_string(value));
    }
  });
  return values;
}

ShownValues ShowProfile(const ProfileSettings& s) {
  ShownValues shown;
  ForEachValue(s, [&](const char* key, const auto& value, Kind) {
    using Value = std::decay_t<decltype(value)>;
    if constexpr (std::is_same_v<Value, bool> || std::is_same_v<Value, std::string>) {
      shown.push_back({key, value});
    } else if constexpr (std::is_same_v<Value, SerialByteOrder>) {
      shown.push_back({key, std::int64_t{StoredByteOrder(value)}});
    } else {
      shown.push_back({key, std::int64_t{value}});
    }
  });
  return shown;
}

ProfileSettings DecodeProfile(const IniFile::Contents& ini, const std::string& section) {
  // Every value starts as its default, which an absent key keeps.
  ProfileSettings s;
  ForEachValue(s, [&](const char* key, auto& value, Kind) {
    using Value = std::decay_t<decltype(value)>;
    if constexpr (std::is_same_v<Value, bool>) {
      value = ini.ReadBool(section, key, value);
    } else if constexpr (std::is_same_v<Value, std::string>) {
      value = ini.ReadString(section, key, value);
    } else if constexpr (std::is_same_v<Value, SerialByteOrder>) {
      value = ByteOrderOfStored(ini.ReadInteger(section, key, StoredByteOrder(value)));
    } else {
      value = ini.ReadInteger(section, key, value);
    }
  });
  return s;
}

void ApplyProfileValue(ProfileSettings& s, std::string_view keyText, const std::string& text) {
  const std::string& key = ProfileKeyName(keyText);
  ForEachValue(s, [&](const char* name, auto& value, Kind kind) {
    if (key != name) return;
    using Value = std::decay_t<decltype(value)>;
    if constexpr (std::is_same_v<Value, bool>) {
      value = SwitchValue(key, text);
    } else if constexpr (std::is_same_v<Value, std::string>) {
      value = TextValue(key, text);
    } else if constexpr (std::is_same_v<Value, SerialByteOrder>) {
      value = SwitchValue(key, text) ? SerialByteOrder::LsbFirst : SerialByteOrder::MsbFirst;
    } else {
      value = kind == Kind::Size ? SizeValue(key, text) : IntegerValue(key, text);
    }
  });
}

void RequireStorableProfile(const std::string& profileName, const ProfileSettings& s) {
  const auto check = [](const char* field, const std::string& value) {
    if (value.find_first_of("\r\n") == std::string::npos) return;
    throw EIniFileException(std::string(field) + " \"" + value +
                            "\" holds a line break, which a profile cannot store");
  };
  check("The skeleton file path", profileName);
  check("The output folder", s.OutputFolder);
  check("The burner command line", s.BurnerCmdLine);
}

}  // namespace velmorin
