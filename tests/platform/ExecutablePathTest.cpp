#include <gtest/gtest.h>

#include <filesystem>

#include "platform/system/ExecutablePath.h"

namespace velmorin {
namespace {

TEST(ExecutablePath, IsTheRunningProgram) {
  const std::string path = ExecutablePath();
  EXPECT_TRUE(std::filesystem::path(path).is_absolute()) << path;
#ifdef _WIN32  // no /proc there: the program is known by its file's name
  EXPECT_EQ(std::filesystem::path(path).filename(), "platform_tests.exe") << path;
  EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
#else
  EXPECT_TRUE(std::filesystem::equivalent(path, "/proc/self/exe")) << path;
#endif
}

TEST(ExecutablePath, IniPathReplacesOrAddsTheExtension) {
  const std::pair<std::string, std::string> cases[] = {
      {"/usr/bin/velmorin", "/usr/bin/velmorin.ini"},
      {"/usr/bin/velmorin.exe", "/usr/bin/velmorin.ini"},
      {"/opt/velmorin-1.0/velmorin", "/opt/velmorin-1.0/velmorin.ini"},  // dot in a folder
      {"/opt/v.1/velmorin.bin", "/opt/v.1/velmorin.ini"},
      {"/opt/tool.tar.gz", "/opt/tool.tar.ini"},  // only the last extension
      {"/opt/velmorin.", "/opt/velmorin.ini"},
      {"/opt/.velmorin", "/opt/.velmorin.ini"},  // a hidden file's dot is no extension
      {"velmorin", "velmorin.ini"},
      {"./velmorin", "./velmorin.ini"},
  };
  for (const auto& [exe, ini] : cases) EXPECT_EQ(IniPathFor(exe), ini) << exe;
}

}  // namespace
}  // namespace velmorin
