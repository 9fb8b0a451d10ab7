#include <gtest/gtest.h>

#include <string>

#include "platform/ini/IniLocation.h"

namespace velmorin {
namespace {

// The command line finds the window beside it by its own path: the folder and
// the extension stay, only the name changes.
TEST(IniLocation, SiblingExecutableKeepsFolderAndExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"/opt/v/velmorin-cli", "/opt/v/velmorin"},
      {"/opt/v.d/velmorin-cli", "/opt/v.d/velmorin"},
      {"velmorin-cli", "velmorin"},
      {"/opt/v/.hidden", "/opt/v/velmorin"},
#ifdef _WIN32  // an executable's name ends in .exe there, and the drive colon ends a folder
      {"C:\\Program Files\\V\\velmorin-cli.exe", "C:\\Program Files\\V\\velmorin.exe"},
      {"C:velmorin-cli.EXE", "C:velmorin.EXE"},
#else
      {"/opt/v/velmorin-cli.bin", "/opt/v/velmorin.bin"},
#endif
  };
  for (const auto& [cli, window] : cases) {
    EXPECT_EQ(SiblingExecutable(cli, "velmorin"), window) << cli;
  }
}

}  // namespace
}  // namespace velmorin
