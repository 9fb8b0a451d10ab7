// The path rules of the Windows build: backslashes, drive colons, and the INI
// file beside the executable.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "platform/files/PathNames.h"
#include "platform/system/ExecutablePath.h"

namespace velmorin {
namespace {

TEST(PathNamesWin, StemDropsFolderDriveAndLastExtension) {
  const struct {
    const char* path;
    const char* stem;
  } cases[] = {
      {"D:\\fw\\board.hex", "board"},
      {"D:\\fw\\board.rev2.hex", "board.rev2"},
      {"D:\\fw\\board", "board"},
      {"D:\\fw\\board.", "board"},
      {"D:\\fw\\.hex", ""},
      {"BOARD.HEX", "BOARD"},
      {"D:board.hex", "board"},  // a colon ends the drive prefix
      {"D:", ""},
      {"D:\\fw.d\\board", "board"},  // a dot in a folder is no extension
      {"\\\\server\\share\\fw\\board.hex", "board"},
      {"D:\\fw\\", ""},
      {"D:/fw/board.hex", "board"},  // Windows also takes "/" as a separator
      {"fw\\sub/board.v1.hex", "board.v1"},
      {"D:\\my fw\\my board.hex", "my board"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FileStem(c.path), c.stem);
  }
}

TEST(PathNamesWin, JoinPutsExactlyOneBackslashBetween) {
  const struct {
    const char* folder;
    const char* name;
    const char* path;
  } cases[] = {
      {"C:\\out", "board_17.hex", "C:\\out\\board_17.hex"},
      {"C:\\out\\", "board_17.hex", "C:\\out\\board_17.hex"},
      {"", "board_17.hex", "board_17.hex"},
      {"C:", "board_17.hex", "C:\\board_17.hex"},
      {"C:\\out", "board_-5.hex", "C:\\out\\board_-5.hex"},
      {"C:\\out\\", "\\board_17.hex", "C:\\out\\board_17.hex"},
      {"C:\\out", "\\board_17.hex", "C:\\out\\board_17.hex"},
      {"C:\\", "b.hex", "C:\\b.hex"},
      {".", "b.hex", ".\\b.hex"},
      {"out", "b.hex", "out\\b.hex"},
      {"C:\\out", "", "C:\\out"},
      {"", "", ""},
      // Only the backslash counts: a forward slash stays and gets one after it.
      {"C:\\out/", "b.hex", "C:\\out/\\b.hex"},
      {"C:\\out\\\\", "b.hex", "C:\\out\\\\b.hex"},
      {"C:\\My Out", "my board_2.hex", "C:\\My Out\\my board_2.hex"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.folder) + " + " + c.name);
    EXPECT_EQ(JoinPath(c.folder, c.name), c.path);
  }
}

TEST(PathNamesWin, IniPathReplacesTheExecutablesExtension) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Program Files\\Velmorin\\velmorin.exe", "C:\\Program Files\\Velmorin\\velmorin.ini"},
      {"C:\\Program Files\\Velmorin\\VELMORIN.EXE", "C:\\Program Files\\Velmorin\\VELMORIN.ini"},
      {"C:\\tools\\velmorin", "C:\\tools\\velmorin.ini"},
      {"C:\\v.1\\velmorin", "C:\\v.1\\velmorin.ini"},  // dot in a folder
      {"C:\\v.1\\velmorin.tar.exe", "C:\\v.1\\velmorin.tar.ini"},
      {"C:velmorin.exe", "C:velmorin.ini"},
      {"C:.exe", "C:.exe.ini"},  // a name that is all extension keeps it
      {"\\\\server\\tools\\velmorin.exe", "\\\\server\\tools\\velmorin.ini"},
  };
  for (const auto& [exe, ini] : cases) EXPECT_EQ(IniPathFor(exe), ini) << exe;
}

TEST(PathNamesWin, ExecutablePathIsTheModulesOwn) {
  char own[MAX_PATH + 1] = {};
  ASSERT_GT(::GetModuleFileNameA(nullptr, own, sizeof own), 0u);
  const std::string path = ExecutablePath();
  EXPECT_EQ(path, own);
  EXPECT_TRUE(std::filesystem::path(path).is_absolute()) << path;
  EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
  const std::string ini = IniPathFor(path);
  EXPECT_EQ(ini, path.substr(0, path.size() - 4) + ".ini");
  EXPECT_EQ(std::filesystem::path(ini).filename(), "platform_tests.ini");
}

}  // namespace
}  // namespace velmorin
