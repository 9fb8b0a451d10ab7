#include <gtest/gtest.h>

#include <filesystem>

#include "base/Exceptions.h"
#include "profiles/ProfileStore.h"
#include "profiles/WorkingProfile.h"
#include "serialize/Messages.h"
#include "tests/profiles/ProfileStoreFixture.h"
#include "tests/support/ScopedFilePermissions.h"
#include "tests/support/SystemSkip.h"

namespace velmorin {
namespace {

const std::string& kQuestion = message::kProfileModified;

// A profile unlike the defaults in every value.
ProfileSettings Sample() {
  ProfileSettings s;
  s.NextSeqNum = 1234;
  s.AutoIncSeq = false;
  s.SeqNumSize = 0xA;
  s.SetSeqNumOfs = {true, false, true, false};
  s.SeqNumOfs = {0x7F0, 0, -1, 0x10};
  s.ByteOrder = SerialByteOrder::LsbFirst;
  s.BurnerCmdLine = "\"/usr/bin/burn\" -p \"$image\"";
  s.DontBurn = false;
  s.HideBurner = true;
  s.OutputFolder = "/tmp/out";
  s.DontSave = true;
  return s;
}

const std::string kSampleSection =
    "NextSeqNum=1234\r\nAutoIncSeq=0\r\nSeqNumSize=10\r\nSetSeqNumOfs1=1\r\nSeqNumOfs1=2032\r\n"
    "SetSeqNumOfs2=0\r\nSeqNumOfs2=0\r\nSetSeqNumOfs3=1\r\nSeqNumOfs3=-1\r\nSetSeqNumOfs4=0\r\n"
    "SeqNumOfs4=16\r\nByteOrder=1\r\nBurnerCmdLine=\"\"/usr/bin/burn\" -p \"$image\"\"\r\n"
    "DontBurn=0\r\nHideBurner=1\r\nOutputFolder=/tmp/out\r\nDontSave=1\r\n";

// What a reset shows: the defaults, with the slot switches as they were.
ProfileSettings ResetKeepingSlots(const std::array<bool, 4>& slots) {
  ProfileSettings s;
  s.SetSeqNumOfs = slots;
  return s;
}

// --- Start-up and shut-down -----------------------------------------------------------

TEST_F(ProfileStoreTest, StartUpWithoutAFileShowsTheResetWindow) {
  profile.EditableSettings() = Sample();
  Start();
  EXPECT_TRUE(profile.Names().empty());
  EXPECT_EQ(profile.SelectedIndex(), -1);
  EXPECT_EQ(profile.Settings(), ResetKeepingSlots(Sample().SetSeqNumOfs));
  EXPECT_EQ(Store().ProfileName(), "");
  EXPECT_FALSE(IniExists());  // reading creates nothing
}

TEST_F(ProfileStoreTest, StartUpListsProfilesAndSelectsDefaultImg) {
  WriteIni("[/fw/a.hex]\r\nNextSeqNum=1\r\n[options]\r\nDefaultImg=1\r\n[/fw/b.hex]\r\n" +
           kSampleSection + "[/fw/c.hex]\r\n");
  Start();
  EXPECT_EQ(profile.Names(), (std::vector<std::string>{"/fw/a.hex", "/fw/b.hex", "/fw/c.hex"}));
  EXPECT_EQ(profile.SelectedIndex(), 1);
  EXPECT_EQ(profile.SkeletonText(), "/fw/b.hex");
  EXPECT_EQ(Store().ProfileName(), "/fw/b.hex");
  EXPECT_EQ(profile.Settings(), Sample());
  EXPECT_TRUE(op.boxes.empty());
}

TEST_F(ProfileStoreTest, StartUpWithUnusableDefaultImgSelectsNothing) {
  for (const std::string value : {"2", "7", "-2", "abc", ""}) {
    WriteIni("[/fw/a.hex]\r\nNextSeqNum=1\r\n[/fw/b.hex]\r\n[Options]\r\nDefaultImg=" + value +
             "\r\n");
    profile = WorkingProfile();
    profile.EditableSettings().NextSeqNum = 99;
    Start();
    EXPECT_EQ(profile.Names().size(), 2u) << value;
    EXPECT_EQ(profile.SelectedIndex(), -1) << value;
    EXPECT_EQ(profile.Settings(), ProfileSettings()) << value;
    EXPECT_EQ(Store().ProfileName(), "") << value;
  }
}

TEST_F(ProfileStoreTest, ShutDownWritesOnlyDefaultImg) {
  const std::string before = "; operator's notes\r\n[/fw/a.hex]\r\n" + kSampleSection +
                             "Unknown=kept\r\n[/fw/b.hex]\r\nNextSeqNum=5\r\n";
  WriteIni(before);
  Start();
  Select(1);
  profile.EditableSettings().NextSeqNum = 77;  // unsaved: dropped without a question
  Store().Close();
  EXPECT_EQ(ReadIni(), before + "[Options]\r\nDefaultImg=1\r\n");
  EXPECT_TRUE(op.boxes.empty());

  Start();
  profile.Select(-1);
  Store().LoadProfile();
  Store().Close();
  EXPECT_EQ(ReadIni(), before + "[Options]\r\nDefaultImg=-1\r\n");
}

TEST_F(ProfileStoreTest, ShutDownWithoutAFileCreatesOptions) {
  Start();
  Store().Close();
  EXPECT_EQ(ReadIni(), "[Options]\r\nDefaultImg=-1\r\n");
}

// --- Loading ---------------------------------------------------------------------------

TEST_F(ProfileStoreTest, LoadReadsHandEditedValues) {
  struct Case {
    std::string lines;
    ProfileSettings expected;
  };
  const auto with = [](auto change) {
    ProfileSettings s;
    change(s);
    return s;
  };
  const std::vector<Case> cases = {
      {"", ProfileSettings()},
      {"SeqNumOfs1=0x7F0\r\n", with([](ProfileSettings& s) { s.SeqNumOfs[0] = 2032; })},
      {"SeqNumOfs1=$7F0\r\n", with([](ProfileSettings& s) { s.SeqNumOfs[0] = 2032; })},
      {"seqnumofs4 = 2032 \r\n", with([](ProfileSettings& s) { s.SeqNumOfs[3] = 2032; })},
      {"AutoIncSeq=2\r\n", ProfileSettings()},
      {"AutoIncSeq=yes\r\n", ProfileSettings()},
      {"AutoIncSeq=0\r\n", with([](ProfileSettings& s) { s.AutoIncSeq = false; })},
      {"DontSave=yes\r\nDontBurn=yes\r\n", ProfileSettings()},
      {"OutputFolder=\r\n", with([](ProfileSettings& s) { s.OutputFolder = ""; })},
      {"NextSeqNum=\r\n", ProfileSettings()},
      {"NextSeqNum=-5\r\nNextSeqNum=9\r\n", with([](ProfileSettings& s) { s.NextSeqNum = -5; })},
      {"ByteOrder=1\r\n",
       with([](ProfileSettings& s) { s.ByteOrder = SerialByteOrder::LsbFirst; })},
      {"ByteOrder=2\r\n",
       with([](ProfileSettings& s) { s.ByteOrder = SerialByteOrder::Unchosen; })},
      {"ByteOrder=-1\r\n",
       with([](ProfileSettings& s) { s.ByteOrder = SerialByteOrder::Unchosen; })},
      {"SetSeqNumOfs1=0\r\nSetSeqNumOfs3=1\r\n", with([](ProfileSettings& s) {
         s.SetSeqNumOfs = {false, false, true, false};
       })},
      {"BurnerCmdLine=burn \"$image\"\r\n",
       with([](ProfileSettings& s) { s.BurnerCmdLine = "burn \"$image\""; })},
  };
  for (const Case& c : cases) {
    WriteIni("[/fw/a.hex]\r\n" + c.lines + "[Options]\r\nDefaultImg=0\r\n");
    profile = WorkingProfile();
    Start();
    EXPECT_EQ(profile.Settings(), c.expected) << c.lines;
    // Untouched, the loaded window equals the stored profile: no question when leaving it.
    EXPECT_TRUE(Store().ProfileUnchanged()) << c.lines;
  }
}

TEST_F(ProfileStoreTest, ProfileWithMissingKeysIsLeftWithoutAQuestion) {
  WriteIni("[/fw/a.hex]\r\nNextSeqNum=5\r\n[/fw/b.hex]\r\n[Options]\r\nDefaultImg=0\r\n");
  Start();
  EXPECT_EQ(profile.Settings().NextSeqNum, 5);
  const std::string before = ReadIni();
  Select(1);  // the operator has no answer queued: a question would fail the test
  EXPECT_EQ(profile.Settings(), ProfileSettings());
  EXPECT_EQ(ReadIni(), before);
}

TEST_F(ProfileStoreTest, UnchangedComparesEveryValueExactly) {
  WriteIni("[/fw/a.hex]\r\n" + kSampleSection + "[Options]\r\nDefaultImg=0\r\n");
  Start();
  ASSERT_TRUE(Store().ProfileUnchanged());
  const std::vector<void (*)(ProfileSettings&)> edits = {
      [](ProfileSettings& s) { s.NextSeqNum++; },
      [](ProfileSettings& s) { s.AutoIncSeq = !s.AutoIncSeq; },
      [](ProfileSettings& s) { s.SeqNumSize = 2; },
      [](ProfileSettings& s) { s.SetSeqNumOfs[3] = true; },
      [](ProfileSettings& s) { s.SeqNumOfs[1] = 1; },  // compared although slot 2 is off
      [](ProfileSettings& s) { s.ByteOrder = SerialByteOrder::Unchosen; },
      [](ProfileSettings& s) { s.BurnerCmdLine = "\"/USR/bin/burn\" -p \"$image\""; },
      [](ProfileSettings& s) { s.DontBurn = true; },
      [](ProfileSettings& s) { s.HideBurner = false; },
      [](ProfileSettings& s) { s.OutputFolder = "/tmp/OUT"; },
      [](ProfileSettings& s) { s.DontSave = false; },
  };
  for (std::size_t i = 0; i < edits.size(); ++i) {
    profile.EditableSettings() = Sample();
    edits[i](profile.EditableSettings());
    EXPECT_FALSE(Store().ProfileUnchanged()) << "edit #" << i;
  }
}

// --- Switching profiles ----------------------------------------------------------------

class ProfileSwitchTest : public ProfileStoreTest {
 protected:
  void SetUp() override {
    WriteIni("[/fw/a.hex]\r\nNextSeqNum=1\r\nUnknown=kept\r\n[/fw/b.hex]\r\n" + kSampleSection +
             "[Options]\r\nDefaultImg=0\r\n");
    Start();
    profile.EditableSettings().NextSeqNum = 42;  // an unsaved change to a.hex
  }
};

TEST_F(ProfileSwitchTest, YesStoresTheProfileBeingLeft) {
  op.AnswerBox(mrYes);
  Select(1);
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text, kQuestion);
  EXPECT_EQ(op.boxes[0].kind, BoxKind::Confirm);
  EXPECT_EQ(op.boxes[0].buttons, box_button::Yes | box_button::No);

  EXPECT_EQ(profile.Settings(), Sample());  // b.hex as stored
  EXPECT_EQ(Store().ProfileName(), "/fw/b.hex");
  const IniFile ini(Ini());
  EXPECT_EQ(ini.ReadInteger("/fw/a.hex", "NextSeqNum", 0), 42);
  EXPECT_EQ(ini.ReadString("/fw/a.hex", "Unknown", ""), "kept");
  EXPECT_EQ(ini.ReadInteger("/fw/b.hex", "NextSeqNum", 0), 1234);
}

TEST_F(ProfileSwitchTest, NoDropsTheChanges) {
  const std::string before = ReadIni();
  op.AnswerBox(mrNo);
  Select(1);
  EXPECT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(profile.Settings(), Sample());
  EXPECT_EQ(ReadIni(), before);
}

TEST_F(ProfileSwitchTest, ClosingTheBoxDropsTheChanges) {
  const std::string before = ReadIni();
  op.AnswerBox(mrCancel);
  Select(1);
  EXPECT_EQ(ReadIni(), before);
}

TEST_F(ProfileSwitchTest, YesWritesNothingWhileForgetChangesIsChecked) {
  const std::string before = ReadIni();
  profile.EditForgetChanges(true);
  op.AnswerBox(mrYes);
  Select(1);
  EXPECT_EQ(op.boxes.size(), 1u);  // still asked
  EXPECT_EQ(ReadIni(), before);
  EXPECT_EQ(profile.Settings(), Sample());
}

TEST_F(ProfileSwitchTest, DeselectingResetsWithoutAQuestion) {
  const std::string before = ReadIni();
  profile.EditableSettings().SetSeqNumOfs = {false, true, true, true};
  profile.EditForgetChanges(true);
  Select(-1);
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_EQ(profile.Settings(), ResetKeepingSlots({false, true, true, true}));
  EXPECT_TRUE(profile.ForgetChanges());
  EXPECT_EQ(Store().ProfileName(), "");
  EXPECT_EQ(ReadIni(), before);
}

TEST_F(ProfileSwitchTest, BrowsingAfterClearingTheNameAsksNothing) {
  // The browse handler empties the current name before it loads.
  profile.EditSkeletonText("/fw/new.hex");
  Store().ClearProfileName();
  Store().LoadProfile();
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_EQ(Store().ProfileName(), "/fw/new.hex");
  EXPECT_EQ(profile.Settings(), ProfileSettings());
}

// --- Add, Save, Remove -----------------------------------------------------------------

TEST_F(ProfileStoreTest, FirstAddCreatesTheFileWithSeventeenKeysInOrder) {
  Start();
  profile.EditSkeletonText("/fw/a.hex");
  profile.EditableSettings() = Sample();
  Store().AddProfile();
  EXPECT_EQ(ReadIni(), "[/fw/a.hex]\r\n" + kSampleSection);
  EXPECT_EQ(profile.Names(), std::vector<std::string>{"/fw/a.hex"});
  EXPECT_EQ(profile.SelectedIndex(), -1);  // listed, not selected
  EXPECT_EQ(Store().ProfileName(), "/fw/a.hex");
}

TEST_F(ProfileStoreTest, AddOfAListedNameInAnotherCaseChangesNothing) {
  WriteIni("[/fw/A.hex]\r\nNextSeqNum=1\r\n");
  Start();
  const std::string before = ReadIni();
  profile.EditSkeletonText("/FW/a.HEX");
  profile.EditableSettings().NextSeqNum = 50;
  Store().AddProfile();
  EXPECT_EQ(ReadIni(), before);
  EXPECT_EQ(profile.Names(), std::vector<std::string>{"/fw/A.hex"});
  EXPECT_EQ(Store().ProfileName(), "");
}

TEST_F(ProfileStoreTest, AddWhileForgettingListsWithoutWriting) {
  Start();
  profile.EditForgetChanges(true);
  profile.EditSkeletonText("/fw/a.hex");
  Store().AddProfile();
  EXPECT_EQ(profile.Names(), std::vector<std::string>{"/fw/a.hex"});
  EXPECT_FALSE(IniExists());
  Start();  // the next start rebuilds the list from the file
  EXPECT_TRUE(profile.Names().empty());
}

TEST_F(ProfileStoreTest, SaveRewritesTheProfileFromScratch) {
  WriteIni(
      "[/fw/a.hex]\r\nNextSeqNum=1\r\nUnknown=dropped\r\n[/fw/b.hex]\r\nNextSeqNum=2\r\n"
      "[Options]\r\nDefaultImg=0\r\n");
  Start();
  profile.EditableSettings() = Sample();
  Store().SaveProfile();
  EXPECT_EQ(ReadIni(),
            "[/fw/b.hex]\r\nNextSeqNum=2\r\n[Options]\r\nDefaultImg=0\r\n[/fw/a.hex]\r\n" +
                kSampleSection);
  EXPECT_EQ(Store().ProfileName(), "/fw/a.hex");
}

TEST_F(ProfileStoreTest, SaveUnderATypedNameMovesTheProfile) {
  WriteIni("[/fw/a.hex]\r\nNextSeqNum=1\r\n[Options]\r\nDefaultImg=0\r\n");
  Start();
  profile.EditSkeletonText("/fw/renamed.hex");
  profile.EditableSettings() = Sample();
  Store().SaveProfile();
  EXPECT_EQ(ReadIni(), "[Options]\r\nDefaultImg=0\r\n[/fw/renamed.hex]\r\n" + kSampleSection);
  EXPECT_EQ(profile.Names(),
            std::vector<std::string>{"/fw/a.hex"});  // the list shows it after a restart
  EXPECT_EQ(Store().ProfileName(), "/fw/renamed.hex");
}

TEST_F(ProfileStoreTest, SaveWhileForgettingLeavesTheFileUntouched) {
  WriteIni("[/fw/a.hex]\r\n" + kSampleSection + "[Options]\r\nDefaultImg=0\r\n");
  Start();
  const std::string before = ReadIni();
  profile.EditForgetChanges(true);
  profile.EditableSettings().NextSeqNum = 1;
  Store().SaveProfile();
  EXPECT_EQ(ReadIni(), before);  // the stored profile is not lost
  profile.EditSkeletonText("/fw/other.hex");
  Store().SaveProfile();
  EXPECT_EQ(ReadIni(), before);
  EXPECT_EQ(Store().ProfileName(), "/fw/other.hex");
}

TEST_F(ProfileStoreTest, StoreWhileForgettingOnlyTakesTheName) {
  WriteIni("[/fw/a.hex]\r\nNextSeqNum=7\r\n[Options]\r\nDefaultImg=0\r\n");
  Start();
  const std::string before = ReadIni();
  profile.EditForgetChanges(true);
  profile.EditableSettings().NextSeqNum = 8;  // the serial-number advance
  Store().StoreProfile();
  EXPECT_EQ(ReadIni(), before);
}

TEST_F(ProfileStoreTest, RemoveErasesTheProfileAndResetsTheWindow) {
  WriteIni("; notes\r\n[/fw/a.hex]\r\nNextSeqNum=1\r\n[/fw/b.hex]\r\n" + kSampleSection +
           "[/fw/c.hex]\r\nNextSeqNum=3\r\n[Options]\r\nDefaultImg=1\r\n");
  Start();
  ASSERT_EQ(profile.Settings(), Sample());
  profile.EditableSettings().SetSeqNumOfs = {true, true, false, false};
  Store().RemoveProfile();
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_EQ(ReadIni(),
            "; notes\r\n[/fw/a.hex]\r\nNextSeqNum=1\r\n[/fw/c.hex]\r\nNextSeqNum=3\r\n"
            "[Options]\r\nDefaultImg=1\r\n");
  EXPECT_EQ(profile.Names(), (std::vector<std::string>{"/fw/a.hex", "/fw/c.hex"}));
  EXPECT_EQ(profile.SelectedIndex(), -1);
  EXPECT_EQ(profile.Settings(), ResetKeepingSlots({true, true, false, false}));
  EXPECT_EQ(Store().ProfileName(), "");
}

TEST_F(ProfileStoreTest, OutOfRangeByteOrderIsStoredAsNone) {
  WriteIni("[/fw/a.hex]\r\nByteOrder=5\r\n[Options]\r\nDefaultImg=0\r\n");
  Start();
  EXPECT_EQ(profile.Settings().ByteOrder, SerialByteOrder::Unchosen);
  EXPECT_TRUE(Store().ProfileUnchanged());
  Store().StoreProfile();
  EXPECT_EQ(IniFile(Ini()).ReadString("/fw/a.hex", "ByteOrder", ""), "-1");
}

// --- Refused writes --------------------------------------------------------------------

class ReadOnlyIniTest : public ProfileStoreTest {
 protected:
  void SetUp() override {
    WriteIni("[/fw/a.hex]\r\n" + kSampleSection + "[Options]\r\nDefaultImg=0\r\n");
    Start();
    FBefore = ReadIni();
    profile.EditableSettings().NextSeqNum = 1235;
  }

  void ExpectRefused(void (ProfileStore::*operation)()) {
    try {
      (Store().*operation)();
      ADD_FAILURE() << "the write was not refused";
    } catch (const EIniFileException& e) {
      EXPECT_EQ(e.Message(), "Unable to write to " + Ini());
    }
    EXPECT_EQ(ReadIni(), FBefore);
  }

  void ExpectEveryWriteRefused() {
    test::ScopedFilePermissions permissions;
    ExpectRefused(&ProfileStore::RemoveProfile);
    EXPECT_EQ(profile.Names(), std::vector<std::string>{"/fw/a.hex"});  // still listed
    EXPECT_EQ(profile.SelectedIndex(), 0);
    ExpectRefused(&ProfileStore::StoreProfile);
    ExpectRefused(&ProfileStore::SaveProfile);
    ExpectRefused(&ProfileStore::Close);
    profile.EditSkeletonText("/fw/new.hex");
    ExpectRefused(&ProfileStore::AddProfile);
    EXPECT_EQ(profile.Names(), std::vector<std::string>{"/fw/a.hex"});  // not listed
    EXPECT_EQ(profile.Settings().NextSeqNum, 1235);  // the window keeps its values
  }

  std::string FBefore;
};

TEST_F(ReadOnlyIniTest, ReadOnlyFileRefusesEveryWrite) {
  // On Windows this sets the read-only attribute.
  std::filesystem::permissions(Ini(), std::filesystem::perms::owner_read |
                                          std::filesystem::perms::group_read |
                                          std::filesystem::perms::others_read);
  ExpectEveryWriteRefused();
}

TEST_F(ReadOnlyIniTest, ReadOnlyFolderRefusesEveryWrite) {
  VELMORIN_SKIP_ON_WINDOWS(test::kFolderAttributeAllowsNewFiles);
  std::filesystem::permissions(
      FDir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  ExpectEveryWriteRefused();
}

// --- Values no INI file can hold, and a second copy ---------------------------------

// A line break can't be stored as an INI name or value: the store says which
// field holds it and shows the value, and writes nothing.
TEST_F(ProfileStoreTest, LineBreakInAPathIsRefusedNamingItsValue) {
  const struct {
    const char* name;
    void (*prepare)(WorkingProfile& profile);
    std::string message;
  } fields[] = {
      {"skeleton path", [](WorkingProfile& p) { p.EditSkeletonText("/fw/a\nb.hex"); },
       "The skeleton file path \"/fw/a\nb.hex\" holds a line break, which a profile cannot "
       "store"},
      {"output folder", [](WorkingProfile& p) { p.EditableSettings().OutputFolder = "/out\r\nx"; },
       "The output folder \"/out\r\nx\" holds a line break, which a profile cannot store"},
      {"burner command line",
       [](WorkingProfile& p) { p.EditableSettings().BurnerCmdLine = "burn\n$image"; },
       "The burner command line \"burn\n$image\" holds a line break, which a profile cannot "
       "store"},
  };
  const std::pair<const char*, void (ProfileStore::*)()> operations[] = {
      {"store", &ProfileStore::StoreProfile},
      {"save", &ProfileStore::SaveProfile},
      {"add", &ProfileStore::AddProfile},
  };
  WriteIni("[/fw/a.hex]\r\n" + kSampleSection + "[Options]\r\nDefaultImg=0\r\n");
  const std::string before = ReadIni();
  for (const auto& field : fields) {
    for (const auto& [operationName, operation] : operations) {
      SCOPED_TRACE(std::string(field.name) + ", " + operationName);
      profile = WorkingProfile();
      Start();
      profile.EditSkeletonText("/fw/new.hex");
      field.prepare(profile);
      try {
        (Store().*operation)();
        ADD_FAILURE() << "not refused";
      } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), field.message);
      }
      EXPECT_EQ(ReadIni(), before);
      EXPECT_EQ(profile.Names(), std::vector<std::string>{"/fw/a.hex"});
    }
  }
}

// Two stores on one file, as two copies of the program would have: the
// second is refused at Open and writes nothing at Close; once the first has
// closed, the file is free.
TEST_F(ProfileStoreTest, SecondStoreOnAHeldFileIsRefused) {
  WriteIni("[/fw/a.hex]\r\nNextSeqNum=600\r\n[Options]\r\nDefaultImg=0\r\n");
  Start();
  const std::string before = ReadIni();
  WorkingProfile secondProfile;
  test::ScriptedOperator secondOp;
  ProfileStore second(Ini(), secondProfile,
                      [&secondOp] { return message::AskToSaveChanges(secondOp); });
  try {
    second.Open();
    ADD_FAILURE() << "the second Open was not refused";
  } catch (const EIniFileInUse& e) {
    EXPECT_EQ(e.Message(), "The INI file " + Ini() + " is in use by another copy of Velmorin");
  }
  EXPECT_TRUE(secondProfile.Names().empty());
  second.Close();
  EXPECT_EQ(ReadIni(), before);

  Store().Close();
  second.Open();
  EXPECT_EQ(secondProfile.Settings().NextSeqNum, 600);
}

// A file that can't be read: the load says so, and neither a store nor a
// serialization may write the window's values until a load has read the
// file (at start-up: until the next start), so the stored 600 survives.
TEST_F(ProfileStoreTest, UnreadableFileRefusesStoringUntilALoadReadsIt) {
  VELMORIN_SKIP_ON_WINDOWS("no permission keeps a file's owner from reading it on Windows");
  const std::string text = "[/fw/a.hex]\r\nNextSeqNum=600\r\n[Options]\r\nDefaultImg=0\r\n";
  const std::string unreadable = "Unable to read " + Ini() + ": File access denied";
  const auto expectRefused = [&](const std::string& message) {
    for (auto operation : {&ProfileStore::StoreProfile, &ProfileStore::SaveProfile}) {
      try {
        (Store().*operation)();
        ADD_FAILURE() << "not refused";
      } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), message);
      }
      EXPECT_EQ(ReadIni(), text);
    }
  };
  const auto whileUnreadable = [&](auto&& body) {
    std::filesystem::permissions(Ini(), std::filesystem::perms::none);
    {
      test::ScopedFilePermissions permissions;
      body();
    }
    std::filesystem::permissions(
        Ini(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                   std::filesystem::perms::group_read | std::filesystem::perms::others_read);
  };

  WriteIni(text);
  Start();
  whileUnreadable([&] {
    try {
      Select(0);
      ADD_FAILURE() << "the load did not fail";
    } catch (const EIniFileException& e) {
      EXPECT_EQ(e.Message(), unreadable);
    }
  });
  EXPECT_EQ(Store().ProfileName(), "");
  profile.EditableSettings().NextSeqNum = 3;
  expectRefused("The profile was not read from " + Ini() +
                "; select the skeleton file again before storing or serializing");
  Select(0);
  EXPECT_EQ(profile.Settings().NextSeqNum, 600);
  Store().StoreProfile();  // a load has read the file: storing works again
  Store().Close();

  WriteIni(text);
  whileUnreadable([&] {
    try {
      Start();
      ADD_FAILURE() << "the start did not fail";
    } catch (const EIniFileException& e) {
      EXPECT_EQ(e.Message(), unreadable);
    }
  });
  profile.EditSkeletonText("/fw/a.hex");
  expectRefused("The profiles in " + Ini() +
                " could not be read at start; restart Velmorin before storing or serializing");
  Store().Close();  // DefaultImg isn't written back over the stored one
  EXPECT_EQ(ReadIni(), text);
}

}  // namespace
}  // namespace velmorin
