#include "profiles/ProfileKeys.h"

#include <cstdio>

#include "base/ParseInteger.h"
#include "profiles/SeqNumRules.h"

namespace velmorin {

namespace {

std::string Bool(bool value) {
  return value ? "1" : "0";
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

// The slot (0 to 3) a key such as "SeqNumOfs3" names after `stem`, or -1.
int SlotOf(const std::string& key, std::string_view stem) {
  if (key.size() != stem.size() + 1 || key.compare(0, stem.size(), stem) != 0) return -1;
  const char digit = key.back();
  return digit >= '1' && digit <= '4' ? digit - '1' : -1;
}

}  // namespace

const std::vector<std::string>& ProfileKeyNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> keys;
    for (const auto& [key, value] : EncodeProfile(ProfileSettings{})) keys.push_back(key);
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
    for (const std::string& name : SeqNumRuleKeyNames()) list += ", " + name;
    return list;
  }());
}

ProfileKeyValues EncodeProfile(const ProfileSettings& s) {
  return {
      {"NextSeqNum", std::to_string(s.NextSeqNum)},
      {"AutoIncSeq", Bool(s.AutoIncSeq)},
      {"SeqNumSize", std::to_string(s.SeqNumSize)},
      {"SetSeqNumOfs1", Bool(s.SetSeqNumOfs[0])},
      {"SeqNumOfs1", std::to_string(s.SeqNumOfs[0])},
      {"SetSeqNumOfs2", Bool(s.SetSeqNumOfs[1])},
      {"SeqNumOfs2", std::to_string(s.SeqNumOfs[1])},
      {"SetSeqNumOfs3", Bool(s.SetSeqNumOfs[2])},
      {"SeqNumOfs3", std::to_string(s.SeqNumOfs[2])},
      {"SetSeqNumOfs4", Bool(s.SetSeqNumOfs[3])},
      {"SeqNumOfs4", std::to_string(s.SeqNumOfs[3])},
      {"ByteOrder", std::to_string(s.ByteOrder)},
      {"BurnerCmdLine", s.BurnerCmdLine},
      {"DontBurn", Bool(s.DontBurn)},
      {"HideBurner", Bool(s.HideBurner)},
      {"OutputFolder", s.OutputFolder},
      {"DontSave", Bool(s.DontSave)},
  };
}

std::int32_t ByteOrderIndex(std::int32_t stored) {
  return stored == 0 || stored == 1 ? stored : -1;
}

ProfileSettings DecodeProfile(const IniFile::Contents& ini, const std::string& section) {
  const ProfileSettings d;
  ProfileSettings s;
  s.NextSeqNum = ini.ReadInteger(section, "NextSeqNum", d.NextSeqNum);
  s.AutoIncSeq = ini.ReadBool(section, "AutoIncSeq", d.AutoIncSeq);
  s.SeqNumSize = ini.ReadInteger(section, "SeqNumSize", d.SeqNumSize);
  for (std::size_t slot = 0; slot < 4; ++slot) {
    const std::string number = std::to_string(slot + 1);
    s.SetSeqNumOfs[slot] = ini.ReadBool(section, "SetSeqNumOfs" + number, d.SetSeqNumOfs[slot]);
    s.SeqNumOfs[slot] = ini.ReadInteger(section, "SeqNumOfs" + number, d.SeqNumOfs[slot]);
  }
  s.ByteOrder = ByteOrderIndex(ini.ReadInteger(section, "ByteOrder", d.ByteOrder));
  s.BurnerCmdLine = ini.ReadString(section, "BurnerCmdLine", d.BurnerCmdLine);
  s.DontBurn = ini.ReadBool(section, "DontBurn", d.DontBurn);
  s.HideBurner = ini.ReadBool(section, "HideBurner", d.HideBurner);
  s.OutputFolder = ini.ReadString(section, "OutputFolder", d.OutputFolder);
  s.DontSave = ini.ReadBool(section, "DontSave", d.DontSave);
  return s;
}

void ApplyProfileValue(ProfileSettings& s, std::string_view keyText, const std::string& text) {
  const std::string& key = ProfileKeyName(keyText);
  if (key == "NextSeqNum") {
    s.NextSeqNum = IntegerValue(key, text);
  } else if (key == "AutoIncSeq") {
    s.AutoIncSeq = SwitchValue(key, text);
  } else if (key == "SeqNumSize") {
    const std::int32_t size = IntegerValue(key, text);
    if (size < 0 || size > kMaxSeqNumSize) {
      char limit[16];
      std::snprintf(limit, sizeof limit, "%X", static_cast<unsigned>(kMaxSeqNumSize));
      RefuseValue(key, text, std::string("is outside 0 to ") + limit + " hex");
    }
    s.SeqNumSize = size;
  } else if (const int slot = SlotOf(key, "SetSeqNumOfs"); slot >= 0) {
    s.SetSeqNumOfs[static_cast<std::size_t>(slot)] = SwitchValue(key, text);
  } else if (const int ofsSlot = SlotOf(key, "SeqNumOfs"); ofsSlot >= 0) {
    s.SeqNumOfs[static_cast<std::size_t>(ofsSlot)] = IntegerValue(key, text);
  } else if (key == "ByteOrder") {
    s.ByteOrder = SwitchValue(key, text) ? 1 : 0;
  } else if (key == "BurnerCmdLine") {
    s.BurnerCmdLine = TextValue(key, text);
  } else if (key == "DontBurn") {
    s.DontBurn = SwitchValue(key, text);
  } else if (key == "HideBurner") {
    s.HideBurner = SwitchValue(key, text);
  } else if (key == "OutputFolder") {
    s.OutputFolder = TextValue(key, text);
  } else if (key == "DontSave") {
    s.DontSave = SwitchValue(key, text);
  }
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
