// Where the INI file lies on POSIX: beside the executable when its folder is
// writable, else in the user's configuration folder.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ini/IniLocation.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(IniLocation, FollowsTheFolderAndTheEnvironment) {
  struct Case {
    const char* what;
    bool writable;
    const char* xdg;
    const char* home;
    const char* path;
    bool perUser;
  };
  const Case cases[] = {
      {"portable: writable folder", true, "/x/cfg", "/home/u", "/opt/v/velmorin.ini", false},
      {"installed: XDG_CONFIG_HOME", false, "/x/cfg", "/home/u", "/x/cfg/velmorin/velmorin.ini",
       true},
      {"installed: no XDG_CONFIG_HOME", false, nullptr, "/home/u",
       "/home/u/.config/velmorin/velmorin.ini", true},
      {"empty XDG_CONFIG_HOME counts as unset", false, "", "/home/u",
       "/home/u/.config/velmorin/velmorin.ini", true},
      {"relative XDG_CONFIG_HOME is ignored", false, "cfg", "/home/u",
       "/home/u/.config/velmorin/velmorin.ini", true},
      {"trailing slashes", false, "/x/cfg//", "/home/u/", "/x/cfg/velmorin/velmorin.ini", true},
      {"trailing slash on HOME", false, nullptr, "/home/u/",
       "/home/u/.config/velmorin/velmorin.ini", true},
      {"no usable home: beside after all", false, nullptr, nullptr, "/opt/v/velmorin.ini", false},
      {"relative HOME is no home", false, "", "home/u", "/opt/v/velmorin.ini", false},
  };
  for (const Case& c : cases) {
    std::vector<std::string> asked;
    const IniLocation location =
        LocateIniFile("/opt/v/velmorin", c.xdg, c.home, [&](const std::string& folder) {
          asked.push_back(folder);
          return c.writable;
        });
    EXPECT_EQ(location.Path, c.path) << c.what;
    EXPECT_EQ(location.PerUser, c.perUser) << c.what;
    EXPECT_EQ(asked, std::vector<std::string>{"/opt/v"}) << c.what;
  }
}

TEST(IniLocation, AnIniFileBesideTheExecutableWinsOverAReadOnlyFolder) {
  TempDir dir;
  const std::string exe = dir.File("velmorin");
  test::WriteFileBytes(dir.File("velmorin.ini"), "[Options]\r\nDefaultImg=0\r\n");
  const IniLocation location =
      LocateIniFile(exe, "/x/cfg", "/home/u", [](const std::string&) { return false; });
  EXPECT_EQ(location.Path, dir.File("velmorin.ini"));
  EXPECT_FALSE(location.PerUser);
}

// A folder the user may not write to, for real: a read-only bind mount in a
// mount namespace of this test process's own (holds for root as well), or,
// without the right to mount, a folder without write permission (holds for
// anyone but root).
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::string& folder) : FFolder(folder) {
    if (::unshare(CLONE_NEWNS) == 0 &&
        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
        ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0) {
      FMounted = true;
      if (::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0)
        return;
    }
    if (::geteuid() != 0 && ::chmod(folder.c_str(), 0555) == 0) {
      FChmodded = true;
      return;
    }
    FError = std::string("no read-only folder as root without a mount: ") + std::strerror(errno);
  }
  ~ReadOnlyFolder() {
    if (FChmodded) ::chmod(FFolder.c_str(), 0755);
    if (FMounted) ::umount2(FFolder.c_str(), MNT_DETACH);
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
  const std::string& Error() const { return FError; }

 private:
  std::string FFolder;
  std::string FError;
  bool FMounted = false;
  bool FChmodded = false;
};

TEST(IniLocation, RealFolderTestPicksBesideOrPerUser) {
  TempDir dir;
  const std::string bin = dir.File("bin");
  fs::create_directory(bin);
  const std::string exe = bin + "/velmorin";
  const std::string config = dir.File("config");

  const IniLocation writable = LocateIniFile(exe, config.c_str(), "/nonexistent");
  EXPECT_EQ(writable.Path, bin + "/velmorin.ini");
  EXPECT_FALSE(writable.PerUser);

  const ReadOnlyFolder readOnly(bin);
  if (!readOnly.Error().empty()) GTEST_SKIP() << readOnly.Error();
  const IniLocation installed = LocateIniFile(exe, config.c_str(), "/nonexistent");
  EXPECT_EQ(installed.Path, config + "/velmorin/velmorin.ini");
  EXPECT_TRUE(installed.PerUser);
  const IniLocation withoutXdg = LocateIniFile(exe, nullptr, dir.Path().c_str());
  EXPECT_EQ(withoutXdg.Path, dir.File(".config/velmorin/velmorin.ini"));
  EXPECT_TRUE(withoutXdg.PerUser);
}

TEST(IniLocation, MakeIniFolderCreatesThePrivateFolderOnlyForPerUserFiles) {
  TempDir dir;
  const std::string beside = dir.File("beside/velmorin.ini");
  EXPECT_TRUE(MakeIniFolder({beside, false}));
  EXPECT_FALSE(fs::exists(dir.File("beside")));

  const std::string perUser = dir.File("home/.config/velmorin/velmorin.ini");
  EXPECT_TRUE(MakeIniFolder({perUser, true}));
  EXPECT_TRUE(fs::is_directory(dir.File("home/.config/velmorin")));
  EXPECT_FALSE(fs::exists(perUser));  // the file waits for the first write
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("home/.config/velmorin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(MakeIniFolder({perUser, true}));  // again: already there

  // A file where a folder should be: refused, and nothing replaced.
  test::WriteFileBytes(dir.File("blocked"), "x");
  EXPECT_FALSE(MakeIniFolder({dir.File("blocked/velmorin/velmorin.ini"), true}));
  EXPECT_EQ(test::ReadFileBytes(dir.File("blocked")), "x");
}

}  // namespace
}  // namespace velmorin
