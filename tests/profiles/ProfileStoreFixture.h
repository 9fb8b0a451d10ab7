// A profile store over an INI file in a test folder of its own, started as
// the window starts it, for the profile store's tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "profiles/ProfileStore.h"
#include "profiles/WorkingProfile.h"
#include "serialize/Messages.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TempDir.h"

namespace velmorin {

class ProfileStoreTest : public testing::Test {
 protected:
  std::string Ini() const { return FDir.File("velmorin.ini"); }
  void WriteIni(const std::string& text) const { test::WriteFileBytes(Ini(), text); }
  std::string ReadIni() const { return test::ReadFileBytes(Ini()); }
  bool IniExists() const { return std::filesystem::exists(Ini()); }

  // Starts the program on the current file, as FormShow does.
  ProfileStore& Start() {
    FStore = std::make_unique<ProfileStore>(Ini(), profile,
                                            [this] { return message::AskToSaveChanges(op); });
    FStore->Open();
    return *FStore;
  }
  ProfileStore& Store() { return *FStore; }

  // The operator picks entry `index` from the list.
  void Select(int index) {
    profile.Select(index);
    Store().LoadProfile();
  }

  test::TempDir FDir;
  WorkingProfile profile;
  test::ScriptedOperator op;
  std::unique_ptr<ProfileStore> FStore;
};

}  // namespace velmorin
