#include "ProfileStore.h"

#include <utility>
#include <vector>

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
ProfileSettings Decode(const IniFile& ini, const std::string& section) {
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

}  // namespace

ProfileStore::ProfileStore(std::string iniPath, ProfileView& view, Operator& op)
    : FIniFile(iniPath), FView(view), FOperator(op) {}

void ProfileStore::Open() {
  std::vector<std::string> names = FIniFile.ReadSections();
  for (auto it = names.begin(); it != names.end(); ++it) {
    if (IniFile::SameName(*it, kOptionsSection)) {
      names.erase(it);
      break;
    }
  }
  const auto count = static_cast<std::int64_t>(names.size());
  FView.SetSkelFileItems(names);
  const std::int32_t selected = FIniFile.ReadInteger(kOptionsSection, kDefaultImgKey, -1);
  FView.SetSkelFileIndex(selected >= 0 && selected < count ? selected : -1);
  FProfileNameValue.clear();
  LoadProfile();
}

void ProfileStore::Close() {
  FIniFile.WriteInteger(kOptionsSection, kDefaultImgKey, FView.SkelFileIndex());
}

void ProfileStore::LoadProfile() {
  if (FView.SkelFileIndex() < 0) {
    FProfileNameValue.clear();
    // The reset keeps the slot switches; "Forget changes" isn't a profile value.
    ProfileSettings reset;
    reset.SetSeqNumOfs = FView.Settings().SetSeqNumOfs;
    FView.SetSettings(reset);
    return;
  }

  if (!FProfileNameValue.empty() && !ProfileUnchanged()) {
    const TModalResult answer = FOperator.ShowMessageBox(kModifiedQuestion, BoxKind::Confirm,
                                                         box_button::Yes | box_button::No);
    if (answer == mrYes && !FView.ForgetChanges()) {
      FIniFile.WriteValues(FProfileNameValue, Encode(FView.Settings()));
    }
  }

  FProfileNameValue = FView.SkelFileText();
  FView.SetSettings(Decode(FIniFile, FProfileNameValue));
}

void ProfileStore::StoreProfile() {
  FProfileNameValue = FView.SkelFileText();
  if (FView.ForgetChanges()) return;
  // One replacement for all seventeen keys: a failure leaves the stored
  // profile whole, and the serial number is on disk when this returns.
  FIniFile.WriteValues(FProfileNameValue, Encode(FView.Settings()));
}

bool ProfileStore::ProfileUnchanged() const {
  ProfileSettings shown = FView.Settings();
  shown.ByteOrder = ByteOrderIndex(shown.ByteOrder);
  return Decode(FIniFile, FProfileNameValue) == shown;
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
  // The old section goes and the new one is written in the same replacement,
  // so there is no moment at which the profile exists nowhere.
  const std::string leaving = FProfileNameValue;
  FProfileNameValue = FView.SkelFileText();
  IniFile::Changes changes;
  changes.EraseSection(leaving);
  for (auto& [key, value] : Encode(FView.Settings())) {
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
