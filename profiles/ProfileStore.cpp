#include "ProfileStore.h"

#include <optional>
#include <utility>
#include <vector>

#include "Exceptions.h"
#include "IniFileLock.h"

namespace velmorin {

namespace {

const std::string kOptionsSection = "Options";
const std::string kDefaultImgKey = "DefaultImg";

#ifdef _WIN32
// The core's text is in the ANSI code page there: "¿" is the single byte 0xBF.
const std::string kModifiedQuestion = "Skeleton info has been modified, \xBFsave?";
#else
const std::string kModifiedQuestion = "Skeleton info has been modified, \xC2\xBFsave?";
#endif

using KeyValues = std::vector<std::pair<std::string, std::string>>;

std::string Bool(bool value) {
  return value ? "1" : "0";
}

// The byte-order list has two entries; any other stored value selects none.
std::int32_t ByteOrderIndex(std::int32_t stored) {
  return stored == 0 || stored == 1 ? stored : -1;
}

// The seventeen keys in the order the file lists them.
KeyValues Encode(const ProfileSettings& s) {
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

// The stored profile, each absent key (or a text that isn't a number where one
// belongs) taking its default. ByteOrder comes back as the list index it selects.
ProfileSettings Decode(const IniFile::Contents& ini, const std::string& section) {
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

// A text with a line break can't be an INI name or value. The message names
// the field and its value, since it is the value that is wrong, not the file.
void RequireStorable(const std::string& profileName, const ProfileSettings& s) {
  const auto check = [](const char* field, const std::string& value) {
    if (value.find_first_of("\r\n") == std::string::npos) return;
    throw EIniFileException(std::string(field) + " \"" + value +
                            "\" holds a line break, which a profile cannot store");
  };
  check("The skeleton file path", profileName);
  check("The output folder", s.OutputFolder);
  check("The burner command line", s.BurnerCmdLine);
}

}  // namespace

ProfileStore::~ProfileStore() = default;

ProfileStore::ProfileStore(std::string iniPath, ProfileView& view, Operator& op)
    : FIniFile(iniPath), FView(view), FOperator(op) {}

void ProfileStore::Open() {
  // A store opened again gives up its own hold before taking it anew.
  FLock.reset();
  FLockRefused = false;
  try {
    FLock = IniFileLock::Acquire(FIniFile.FileName());
  } catch (const EIniFileInUse&) {
    // The other copy owns the file: this one must not write it, not even at Close.
    FLockRefused = true;
    throw;
  }
  FProfileNameValue.clear();
  std::optional<IniFile::Contents> contents;
  try {
    contents = FIniFile.Read();
  } catch (const EIniFileException&) {
    // The list and the last selection are unknown: nothing may be stored or
    // serialized on them, and Close must not write DefaultImg back.
    FStartUnread = true;
    throw;
  }
  FStartUnread = false;
  FProfileUnread = false;
  std::vector<std::string> names = contents->ReadSections();
  for (auto it = names.begin(); it != names.end(); ++it) {
    if (IniFile::SameName(*it, kOptionsSection)) {
      names.erase(it);
      break;
    }
  }
  const auto count = static_cast<std::int64_t>(names.size());
  FView.SetSkelFileItems(names);
  FProductionLogName = contents->ReadString(kOptionsSection, "ProductionLog", "");
  const std::int32_t selected = contents->ReadInteger(kOptionsSection, kDefaultImgKey, -1);
  FView.SetSkelFileIndex(selected >= 0 && selected < count ? selected : -1);
  LoadProfile(&*contents);
}

void ProfileStore::Close() {
  // The hold goes when Close ends, also when the write fails.
  const std::unique_ptr<IniFileLock> release = std::move(FLock);
  if (FLockRefused || FStartUnread) return;
  FIniFile.WriteInteger(kOptionsSection, kDefaultImgKey, FView.SkelFileIndex());
}

void ProfileStore::RequireProfileRead() const {
  if (FStartUnread) {
    throw EIniFileException("The profiles in " + FIniFile.FileName() +
                            " could not be read at start; restart Velmorin before storing or "
                            "serializing");
  }
  if (FProfileUnread) {
    throw EIniFileException("The profile was not read from " + FIniFile.FileName() +
                            "; select the skeleton file again before storing or serializing");
  }
}

void ProfileStore::LoadProfile() {
  LoadProfile(nullptr);
}

void ProfileStore::LoadProfile(const IniFile::Contents* known) {
  if (FView.SkelFileIndex() < 0) {
    FProfileNameValue.clear();
    // The reset keeps the slot switches; "Forget changes" isn't a profile value.
    ProfileSettings reset;
    reset.SetSeqNumOfs = FView.Settings().SetSeqNumOfs;
    FView.SetSettings(reset);
    return;
  }

  // One read serves the comparison and the load, unless a write comes between.
  std::optional<IniFile::Contents> contents;
  if (known != nullptr) contents = *known;
  const auto read = [&] {
    try {
      contents = FIniFile.Read();
    } catch (const EIniFileException&) {
      // The window does not hold the stored profile: it is no current
      // profile, and nothing may be stored or serialized from it.
      FProfileUnread = true;
      FProfileNameValue.clear();
      throw;
    }
  };
  if (!contents) read();

  if (!FProfileNameValue.empty() && !ProfileUnchanged(*contents)) {
    const TModalResult answer = FOperator.ShowMessageBox(kModifiedQuestion, BoxKind::Confirm,
                                                         box_button::Yes | box_button::No);
    if (answer == mrYes && !FView.ForgetChanges()) {
      const ProfileSettings shown = FView.Settings();
      RequireStorable(FProfileNameValue, shown);
      FIniFile.WriteValues(FProfileNameValue, Encode(shown));
      read();
    }
  }

  FProfileNameValue = FView.SkelFileText();
  FProfileUnread = false;
  FView.SetSettings(Decode(*contents, FProfileNameValue));
}

void ProfileStore::StoreProfile() {
  RequireProfileRead();
  FProfileNameValue = FView.SkelFileText();
  if (FView.ForgetChanges()) return;
  const ProfileSettings shown = FView.Settings();
  RequireStorable(FProfileNameValue, shown);
  // One replacement for all seventeen keys: a failure leaves the stored
  // profile whole, and the serial number is on disk when this returns.
  FIniFile.WriteValues(FProfileNameValue, Encode(shown));
}

bool ProfileStore::ProfileUnchanged() const {
  return ProfileUnchanged(FIniFile.Read());
}

bool ProfileStore::ProfileUnchanged(const IniFile::Contents& contents) const {
  ProfileSettings shown = FView.Settings();
  shown.ByteOrder = ByteOrderIndex(shown.ByteOrder);
  return Decode(contents, FProfileNameValue) == shown;
}

void ProfileStore::AddProfile() {
  const std::string text = FView.SkelFileText();
  for (const std::string& item : FView.SkelFileItems()) {
    if (IniFile::SameName(item, text)) return;
  }
  StoreProfile();  // raises before the list changes when the file refuses the write
  FView.AddSkelFileItem(text);
}

void ProfileStore::SaveProfile() {
  if (FView.ForgetChanges()) {
    // Nothing may be written, so nothing is erased either: the stored profile
    // stays as it was.
    StoreProfile();
    return;
  }
  RequireProfileRead();
  const ProfileSettings shown = FView.Settings();
  RequireStorable(FView.SkelFileText(), shown);
  // The old section goes and the new one is written in the same replacement,
  // so there is no moment at which the profile exists nowhere.
  const std::string leaving = FProfileNameValue;
  FProfileNameValue = FView.SkelFileText();
  IniFile::Changes changes;
  changes.EraseSection(leaving);
  for (auto& [key, value] : Encode(shown)) {
    changes.WriteString(FProfileNameValue, std::move(key), std::move(value));
  }
  FIniFile.Apply(changes);
}

void ProfileStore::RemoveProfile() {
  FIniFile.EraseSection(FProfileNameValue);
  const int selected = FView.SkelFileIndex();
  if (selected >= 0) FView.DeleteSkelFileItem(selected);
  if (FView.SkelFileIndex() >= 0) FView.SetSkelFileIndex(-1);
  LoadProfile();
}

}  // namespace velmorin
