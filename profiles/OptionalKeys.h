// The optional keys a profile may hold beside its seventeen values, and the
// one place where each group of them is plugged in.
//
// Every optional key keeps the same rules, whatever it is for: the window
// neither shows nor compares it; a store keeps it with the profile (a key
// that is absent stays absent, so that a profile without them reads and
// writes byte for byte as before); `velmorin-cli show` prints it and
// `velmorin-cli add` and `set` take it; and a value that is refused is
// refused when the profile loads (the window shows the error box and takes
// nothing) and when add or set would store it (nothing changes), with a
// message that names the key.
//
// A group is a struct of the values it reads (std::optional for each key,
// so that absent stays absent) with these members:
//
//   // The keys, in their stored spelling and in the order they follow the
//   // seventeen.
//   static const std::vector<std::string>& KeyNames();
//   // Takes `text` for `key` (one of KeyNames); returns why it is refused
//   // ("is not a 32-bit integer"), or an empty text when it is taken.
//   std::string Read(const std::string& key, const std::string& text);
//   // Appends the keys that are present, with their text, in key order.
//   void Encode(ProfileKeyValues& values) const;
//   // Appends the keys that are present with their values as `show --json`
//   // prints them.
//   void Show(ShownValues& shown) const;
//   bool operator==(const Group&) const = default;
//
// A group whose rules span several of its keys, or the seventeen values,
// adds
//
//   // Raises EProfileValueError, naming the keys, for values that are taken
//   // one by one but not together (a checksum's result over a serial slot).
//   template <class Keys>
//   void RequireConsistent(const ProfileSettings& settings, const Keys& keys) const;
//
// which is asked at load, at add and set, and before each image is made.
//
// The rules above (messages included) are kept here, once, for every group:
// a new group is such a struct in a unit of its own, added to the list of
// OptionalKeys at the end of this file.
#pragma once

#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/ini/IniFile.h"
#include "profiles/BurnerJudgement.h"
#include "profiles/ChecksumRegions.h"
#include "profiles/ProfileKeys.h"
#include "profiles/ProfileSettings.h"
#include "profiles/SeqNumRules.h"

namespace velmorin {

template <class... Groups>
class OptionalKeySet {
 public:
  template <class Group>
  const Group& Get() const {
    return std::get<Group>(FGroups);
  }
  template <class Group>
  Group& Get() {
    return std::get<Group>(FGroups);
  }

  // Every optional key, group after group.
  static const std::vector<std::string>& KeyNames() {
    static const std::vector<std::string> names = [] {
      std::vector<std::string> all;
      (all.insert(all.end(), Groups::KeyNames().begin(), Groups::KeyNames().end()), ...);
      return all;
    }();
    return names;
  }

  // The stored spelling of an optional key (letter case ignored), or nullptr
  // when `key` is none of them.
  static const std::string* KeyName(std::string_view key) {
    for (const std::string& name : KeyNames()) {
      if (IniFile::SameName(name, key)) return &name;
    }
    return nullptr;
  }

  // The optional keys stored in `section`. Raises EProfileValueError, naming
  // the key, its value and the profile, for a value a group refuses.
  static OptionalKeySet Decode(const IniFile::Contents& ini, const std::string& section) {
    OptionalKeySet keys;
    (keys.DecodeGroup(std::get<Groups>(keys.FGroups), ini, section, true), ...);
    return keys;
  }
  // The same, leaving out each value that is refused: what a change made by
  // `set` is checked against, since `set` may be the mending of such a value.
  static OptionalKeySet DecodeTaken(const IniFile::Contents& ini, const std::string& section) {
    OptionalKeySet keys;
    (keys.DecodeGroup(std::get<Groups>(keys.FGroups), ini, section, false), ...);
    return keys;
  }

  // The rules that span several keys (a group's RequireConsistent) against
  // the seventeen values of the same profile. Raises EProfileValueError;
  // with `profile`, its message names the profile as Decode's do.
  void RequireConsistent(const ProfileSettings& settings, const std::string& profile = {}) const {
    try {
      (RequireGroupConsistent(std::get<Groups>(FGroups), settings), ...);
    } catch (const EProfileValueError& error) {
      if (profile.empty()) throw;
      throw EProfileValueError(error.Message() + ", in the profile of " + profile);
    }
  }

  // Sets one optional key from its text. Raises EProfileValueError, leaving
  // the keys as they were, for an unknown key, a value Decode would refuse,
  // or one the INI file cannot keep (a line break, more than it reads back).
  void Apply(std::string_view keyText, const std::string& text) {
    const std::string* key = KeyName(keyText);
    if (key == nullptr) throw EProfileValueError("Unknown key \"" + std::string(keyText) + "\"");
    OptionalKeySet changed = *this;
    std::string why;
    if (text.find_first_of("\r\n") != std::string::npos) {
      why = "holds a line break, which a profile cannot store";
    } else if (text.size() > IniFile::kMaxValueLength) {
      // A longer value would read back cut short: another value.
      why = "is longer than " + std::to_string(IniFile::kMaxValueLength) +
            " bytes, more than the INI file keeps";
    } else {
      why = changed.ReadKey(*key, text);
    }
    if (!why.empty()) throw EProfileValueError("Value \"" + text + "\" for " + *key + " " + why);
    *this = std::move(changed);
  }

  // The keys that are present, with their text, in key order.
  ProfileKeyValues Encode() const {
    ProfileKeyValues values;
    (std::get<Groups>(FGroups).Encode(values), ...);
    return values;
  }

  // The keys that are present, with their values, in key order.
  ShownValues Show() const {
    ShownValues shown;
    (std::get<Groups>(FGroups).Show(shown), ...);
    return shown;
  }

  bool operator==(const OptionalKeySet&) const = default;

 private:
  // No value the INI file holds can contain a line break, so this default
  // tells an absent key from a present one.
  static constexpr const char* kAbsent = "\n";

  template <class Group>
  static void DecodeGroup(Group& group, const IniFile::Contents& ini, const std::string& section,
                          bool refuse) {
    for (const std::string& key : Group::KeyNames()) {
      const std::string text = ini.ReadString(section, key, kAbsent);
      if (text == kAbsent) continue;
      // A refused value leaves the group as it was, whatever Read began.
      Group taken = group;
      const std::string why = taken.Read(key, text);
      if (why.empty()) {
        group = std::move(taken);
      } else if (refuse) {
        throw EProfileValueError("Value \"" + text + "\" for " + key + " in the profile of " +
                                 section + " " + why);
      }
    }
  }

  template <class Group>
  void RequireGroupConsistent(const Group& group, const ProfileSettings& settings) const {
    if constexpr (requires { group.RequireConsistent(settings, *this); }) {
      group.RequireConsistent(settings, *this);
    }
  }

  // Hands `text` to the group that owns `key`.
  std::string ReadKey(const std::string& key, const std::string& text) {
    std::string why;
    bool taken = false;
    const auto offer = [&](auto& group) {
      if (taken) return;
      for (const std::string& name : std::remove_reference_t<decltype(group)>::KeyNames()) {
        if (name == key) {
          why = group.Read(key, text);
          taken = true;
          return;
        }
      }
    };
    (offer(std::get<Groups>(FGroups)), ...);
    return why;
  }

  std::tuple<Groups...> FGroups;
};

// The groups of optional keys a profile holds: plug a new group in here.
using OptionalKeys = OptionalKeySet<SeqNumRules, ChecksumRegions, BurnerJudgement>;

}  // namespace velmorin
