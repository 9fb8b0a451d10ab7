// A serializer wired to a working profile, a scripted operator and a real profile
// store over an INI file, all in a fresh folder; plus helpers to write
// skeleton files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ini/IniFile.h"
#include "profiles/ProfileStore.h"
#include "profiles/WorkingProfile.h"
#include "serialize/Messages.h"
#include "serialize/Serializer.h"
#include "tests/support/HexRecords.h"
#include "tests/support/RecordingObserver.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TempDir.h"

namespace velmorin::test {

// The bytes 0x00, 0x01, ... of `count` bytes.
std::vector<std::uint8_t> Ramp(std::size_t count);

class SerializerTest : public ::testing::Test {
 protected:
  SerializerTest();

  // Writes a skeleton of `bytes` at address 0 under `name` in the folder, and
  // puts its path into the skeleton-file box.
  std::string UseSkeleton(const std::string& name, const std::vector<std::uint8_t>& bytes);
  // The output folder, created.
  std::string UseOutputFolder(const std::string& name);

  // What the INI file holds for the current skeleton file's NextSeqNum, or
  // `absent` when nothing is stored.
  std::int32_t StoredNextSeqNum(std::int32_t absent = -999) const;
  // The texts of the boxes shown so far.
  std::vector<std::string> BoxTexts() const;

  TempDir dir;
  WorkingProfile profile;
  RecordingObserver observer;
  ScriptedOperator op;
  std::string iniPath;
  ProfileStore store;
  Serializer serializer;
};

}  // namespace velmorin::test
