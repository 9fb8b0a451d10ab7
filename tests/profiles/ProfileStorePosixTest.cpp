// A store killed at random moments, by fork and SIGKILL, leaves every profile
// whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <random>
#include <thread>

#include "platform/ini/IniFile.h"
#include "serialize/Messages.h"
#include "tests/profiles/ProfileStoreFixture.h"

namespace velmorin {
namespace {

// Every value is derived from the serial number, so a profile put together from
// two different stores would show.
ProfileSettings Derived(std::int32_t n) {
  ProfileSettings s;
  s.NextSeqNum = n;
  s.AutoIncSeq = n % 2 == 0;
  s.SeqNumSize = n % 7;
  s.SetSeqNumOfs = {n % 3 == 0, n % 3 == 1, n % 5 == 0, true};
  s.SeqNumOfs = {n, n + 1, -n, n * 3};
  s.ByteOrder = n % 2 == 0 ? SerialByteOrder::MsbFirst : SerialByteOrder::LsbFirst;
  s.BurnerCmdLine = "burn --serial " + std::to_string(n) + " \"$image\"";
  s.DontBurn = n % 4 == 0;
  s.HideBurner = n % 4 != 0;
  s.OutputFolder = "/out/" + std::to_string(n) + std::string(static_cast<std::size_t>(n % 50), 'x');
  s.DontSave = n % 3 == 2;
  return s;
}

TEST_F(ProfileStoreTest, KilledWhileStoringLeavesAWholeProfile) {
  const std::string others = "; notes\r\n[/fw/other.hex]\r\nNextSeqNum=9\r\n";
  WriteIni(others + "[/fw/a.hex]\r\n");
  profile.EditSkeletonText("/fw/a.hex");
  profile.EditableSettings() = Derived(0);
  {
    ProfileStore store(Ini(), profile, [this] { return message::AskToSaveChanges(op); });
    store.StoreProfile();
  }
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> delayMicroseconds(0, 4000);
  std::int32_t last = 0;
  int interruptedWrites = 0;
  constexpr int kKills = 150;
  for (int round = 0; round < kKills; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Serializes one image after the other, as a batch does, until killed.
      WorkingProfile childProfile;
      childProfile.EditSkeletonText("/fw/a.hex");
      test::ScriptedOperator childOp;
      ProfileStore store(Ini(), childProfile,
                         [&childOp] { return message::AskToSaveChanges(childOp); });
      try {
        for (std::int32_t n = IniFile(Ini()).ReadInteger("/fw/a.hex", "NextSeqNum", -1) + 1;; ++n) {
          childProfile.EditSettings(Derived(n));
          store.StoreProfile();
        }
      } catch (...) {
      }
      ::_exit(1);  // only a failed store ends the loop; the parent sees it exit
    }
    // The kill comes at a random moment after the child's first store, so
    // that a slow machine (or a sanitizer build) still kills inside stores.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (IniFile(Ini()).ReadInteger("/fw/a.hex", "NextSeqNum", -1) <= last &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    const IniFile ini(Ini());
    const std::int32_t n = ini.ReadInteger("/fw/a.hex", "NextSeqNum", -1);
    ASSERT_GE(n, last) << "the stored serial number went back";
    last = n;
    profile = WorkingProfile();
    profile.SetNames({"/fw/a.hex"});
    profile.Select(0);
    ProfileStore(Ini(), profile, [this] { return message::AskToSaveChanges(op); }).LoadProfile();
    ASSERT_EQ(profile.Settings(), Derived(n)) << "profile " << n << " is not whole";
    const std::string text = ReadIni();
    ASSERT_EQ(text.substr(0, others.size()), others);
    ASSERT_EQ(ini.ReadSections(), (std::vector<std::string>{"/fw/other.hex", "/fw/a.hex"}));

    // A write cut short leaves its temporary file behind; count and remove them.
    for (const auto& entry : std::filesystem::directory_iterator(FDir.Path())) {
      if (entry.path().filename() != "velmorin.ini") {
        ++interruptedWrites;
        std::filesystem::remove(entry.path());
      }
    }
  }
  std::cout << "[ note ] " << kKills << " kills, " << interruptedWrites
            << " inside a write, last serial number " << last << "\n";
  EXPECT_GT(last, 0);
}

}  // namespace
}  // namespace velmorin
