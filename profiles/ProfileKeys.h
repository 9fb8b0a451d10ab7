// The seventeen values of a profile as the INI file holds them: their keys,
// their text, and the limits a stored value must keep. The profile store
// writes and reads profiles through these, and what an operator types on the
// command line is checked against the same rules, so both store the same
// text. Each key's name is written here once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "base/Exceptions.h"
#include "platform/ini/IniFile.h"
#include "profiles/ProfileSettings.h"

namespace velmorin {

// Section "Options" holds what belongs to the station rather than to one
// profile: the last selection, the production record, the serial server.
inline const std::string kOptionsSection = "Options";
inline const std::string kDefaultImgKey = "DefaultImg";
inline const std::string kProductionLogKey = "ProductionLog";
inline const std::string kSerialServerKey = "SerialServer";

using ProfileKeyValues = std::vector<std::pair<std::string, std::string>>;

// One value as `velmorin-cli show --json` prints it: a number, a switch or a
// text.
struct ShownValue {
  std::string Key;
  std::variant<std::int64_t, bool, std::string> Value;
};
using ShownValues = std::vector<ShownValue>;

// A key that names no profile value, or a value a profile cannot hold.
class EProfileValueError : public Exception {
 public:
  using Exception::Exception;
};

// The profiles of an INI file: its sections but "Options" (in any letter
// case), in file order.
std::vector<std::string> ProfileSections(const IniFile::Contents& ini);

// The seventeen keys, in the order the file lists them.
const std::vector<std::string>& ProfileKeyNames();

// The stored spelling of `key`, matched without regard to letter case; raises
// EProfileValueError for a key that is none of the seventeen (its message
// lists the optional keys of OptionalKeys.h as well).
const std::string& ProfileKeyName(std::string_view key);

// The seventeen keys with their text, in file order.
ProfileKeyValues EncodeProfile(const ProfileSettings& settings);

// The seventeen keys with their values, in file order; ByteOrder as the
// number the file holds.
ShownValues ShowProfile(const ProfileSettings& settings);

// The profile stored in `section`, each absent key (or a text that isn't a
// number where one belongs) taking the default of a new profile. A ByteOrder
// other than 0 or 1 comes back unchosen.
ProfileSettings DecodeProfile(const IniFile::Contents& ini, const std::string& section);

// Sets one value from its text as the INI file would hold it. Numbers may be
// written in decimal or, with "0x" (or "$"), in hexadecimal; switches are 0
// or 1; ByteOrder is 0 (MSB first) or 1 (LSB first). Raises
// EProfileValueError, leaving `settings` as it was, for an unknown key, a
// text that is no such value, an SN Size outside 0 to kMaxSeqNumSize, a text
// longer than the INI file keeps, or a line break.
void ApplyProfileValue(ProfileSettings& settings, std::string_view key, const std::string& text);

// Raises EIniFileException when the profile's name or one of its texts holds
// a line break, which an INI file cannot store. The message names the field
// and its value, since it is the value that is wrong, not the file.
void RequireStorableProfile(const std::string& profileName, const ProfileSettings& settings);

}  // namespace velmorin
