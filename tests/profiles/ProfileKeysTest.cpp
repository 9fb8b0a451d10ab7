#include <gtest/gtest.h>

#include "profiles/ProfileKeys.h"

namespace velmorin {
namespace {

// Every value as the INI file would hold it, and what the window then shows.
TEST(ProfileKeys, ValuesAreTakenAsTheFileHoldsThem) {
  ProfileSettings s;
  ApplyProfileValue(s, "nextseqnum", "-7");
  ApplyProfileValue(s, "SEQNUMOFS2", "0xFFFFFFFF");  // a 32-bit pattern
  ApplyProfileValue(s, "SeqNumOfs4", "$7ff0");
  ApplyProfileValue(s, "SeqNumSize", "0x10000");
  ApplyProfileValue(s, "SetSeqNumOfs3", "1");
  ApplyProfileValue(s, "ByteOrder", "1");
  ApplyProfileValue(s, "AutoIncSeq", "0");
  ApplyProfileValue(s, "OutputFolder", "");
  ApplyProfileValue(s, "BurnerCmdLine", std::string(IniFile::kMaxValueLength, 'b'));
  EXPECT_EQ(s.NextSeqNum, -7);
  EXPECT_EQ(s.SeqNumOfs[1], -1);
  EXPECT_EQ(s.SeqNumOfs[3], 0x7FF0);
  EXPECT_EQ(s.SeqNumSize, kMaxSeqNumSize);
  EXPECT_EQ(s.SetSeqNumOfs, (std::array<bool, 4>{true, false, true, false}));
  EXPECT_EQ(s.ByteOrder, SerialByteOrder::LsbFirst);
  EXPECT_FALSE(s.AutoIncSeq);
  EXPECT_EQ(s.OutputFolder, "");
  // What is applied is stored as the window stores it.
  EXPECT_EQ(EncodeProfile(s)[8], (std::pair<std::string, std::string>{"SeqNumOfs3", "0"}));
  EXPECT_EQ(EncodeProfile(s)[6].second, "-1");
}

TEST(ProfileKeys, RefusedValuesLeaveTheSettingsAsTheyWere) {
  const std::pair<const char*, std::string> refused[] = {
      {"NoSuchKey", "1"},
      {"NextSeqNum", ""},
      {"NextSeqNum", "12a"},
      {"NextSeqNum", "2147483648"},
      {"SeqNumOfs1", "0x100000000"},
      {"SeqNumSize", "0x10001"},
      {"SeqNumSize", "-1"},
      {"DontBurn", "2"},
      {"DontBurn", "yes"},
      {"ByteOrder", "-1"},
      {"OutputFolder", "a\nb"},
      {"BurnerCmdLine", "x\r"},
      {"BurnerCmdLine", std::string(IniFile::kMaxValueLength + 1, 'b')},
      {"SeqNumOfs5", "1"},
      {"SetSeqNumOfs0", "1"},
  };
  for (const auto& [key, value] : refused) {
    ProfileSettings s;
    EXPECT_THROW(ApplyProfileValue(s, key, value), EProfileValueError) << key << "=" << value;
    EXPECT_EQ(s, ProfileSettings{}) << key;
  }
}

TEST(ProfileKeys, KeysMatchWithoutLetterCase) {
  EXPECT_EQ(ProfileKeyNames().size(), 17u);
  for (const std::string& key : ProfileKeyNames()) {
    std::string lower = key;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(ProfileKeyName(lower), key);
  }
}

}  // namespace
}  // namespace velmorin
