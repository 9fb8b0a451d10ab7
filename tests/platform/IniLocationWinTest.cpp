// Where the INI file lies on Windows: always beside the executable.
#include <gtest/gtest.h>

#include <string>

#include "platform/ini/IniLocation.h"

namespace velmorin {
namespace {

TEST(IniLocation, WindowsKeepsTheIniFileBesideTheExecutable) {
  const IniLocation location =
      LocateIniFile("C:\\Program Files\\Velmorin\\velmorin.exe", "C:\\cfg", "C:\\Users\\u",
                    [](const std::string&) { return false; });
  EXPECT_EQ(location.Path, "C:\\Program Files\\Velmorin\\velmorin.ini");
  EXPECT_FALSE(location.PerUser);
}

}  // namespace
}  // namespace velmorin
