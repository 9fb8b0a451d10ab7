// The burner on Windows: the command line built from the template reaches the
// burner as the text the operator's documentation shows, with the show value
// of "Hide", and no shell ever reads it.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <sstream>

#include "serialize/BurnerCommand.h"
#include "tests/serialize/BurnerFixture.h"
#include "tests/serialize/SerializerFixture.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TestBurnerPath;

TEST(BurnerCommandWin, OnlyABlankMakesThePathQuoted) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\out\\board_17.hex", "prog.exe -p C:\\out\\board_17.hex -v"},
      {"C:\\My Out\\board_17.hex", "prog.exe -p 'C:\\My Out\\board_17.hex' -v"},
      {"C:\\Ann's Out\\b_1.hex", "prog.exe -p 'C:\\Ann''s Out\\b_1.hex' -v"},
      {"C:\\Ann's\\b_1.hex", "prog.exe -p C:\\Ann's\\b_1.hex -v"},
      {"", "prog.exe -p  -v"},
      {"C:\\t\tab\\b.hex", "prog.exe -p C:\\t\tab\\b.hex -v"},  // tabs do not count
      {"C:\\a&b\\b.hex", "prog.exe -p C:\\a&b\\b.hex -v"},
  };
  for (const auto& [path, line] : cases) {
    EXPECT_EQ(BuildBurnerCommandLine("prog.exe -p $image -v", path), line) << path;
  }
}

// What the test burner wrote about its last start.
std::string StateValue(const std::string& stateFile, const std::string& key) {
  std::istringstream in(test::ReadFileBytes(stateFile));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key + " ", 0) == 0) return line.substr(key.size() + 1);
  }
  return {};
}

class BurnImageWinTest : public test::SerializerTest {
 protected:
  BurnImageWinTest() : stateFile(dir.File("state")), stateEnv("VELMORIN_BURNER_STATE", stateFile) {
    profile.EditableSettings().DontBurn = false;
    profile.EditableSettings().HideBurner = true;
  }
  bool Burn(const std::string& path) {
    op.AnswerBox(mrOk);
    return serializer.BurnImage(image, path);
  }

  std::string stateFile;
  ScopedEnv stateEnv;
  TIntelImage image;
  const std::string burner = TestBurnerPath();
};

TEST_F(BurnImageWinTest, BurnerReceivesTheLineWithThePathInApostrophes) {
  const std::string plain = dir.File("out\\b_1.hex");
  const std::string blanks = dir.File("My Out\\board 17.hex");
  const std::string apostrophe = dir.File("Ann's Out\\b_1.hex");
  const std::string shellish = dir.File("&touch pwned& $(id) `id`;x\\b_1.hex");
  const struct {
    std::string commandTemplate;
    std::string path;
    std::string line;
  } cases[] = {
      {burner + " -p $image -v", plain, burner + " -p " + plain + " -v"},
      {burner + " -p $image -v", blanks, burner + " -p '" + blanks + "' -v"},
      {burner + " -p $image -v", apostrophe,
       burner + " -p '" + dir.File("Ann''s Out\\b_1.hex") + "' -v"},
      {burner + " $image --again $images", blanks,
       burner + " '" + blanks + "' --again '" + blanks + "'s"},
      {burner + " \"$image\"", blanks, burner + " \"'" + blanks + "'\""},
      {burner + " -p $image -v", "", burner + " -p  -v"},
      {burner + " $image", shellish, burner + " '" + shellish + "'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.commandTemplate + " with " + c.path);
    profile.EditableSettings().BurnerCmdLine = c.commandTemplate;
    fs::remove(stateFile);
    EXPECT_TRUE(Burn(c.path));
    EXPECT_EQ(StateValue(stateFile, "cmdline"), c.line);
  }
  EXPECT_FALSE(fs::exists(dir.File("pwned")));
}

TEST_F(BurnImageWinTest, HideChoosesTheShowValue) {
  profile.EditableSettings().BurnerCmdLine = burner;
  for (const bool hide : {true, false}) {
    SCOPED_TRACE(hide);
    profile.EditableSettings().HideBurner = hide;
    EXPECT_TRUE(Burn(""));
    EXPECT_NE(std::stoul(StateValue(stateFile, "flags")) & STARTF_USESHOWWINDOW, 0u);
    EXPECT_EQ(StateValue(stateFile, "show"), hide ? "0" : "5");
  }
}

// The whole road with a path full of blanks and apostrophes: the file is
// written, and the burner is handed its path in apostrophes.
TEST_F(BurnImageWinTest, SerializeImageHandsTheWrittenFileToTheBurner) {
  UseSkeleton("my board.hex", test::Ramp(16));
  const std::string folder = UseOutputFolder("Ann's Out");
  profile.EditableSettings().NextSeqNum = 7;
  profile.EditableSettings().BurnerCmdLine = burner + " -p $image -v";
  op.AnswerBox(mrOk);
  EXPECT_TRUE(serializer.SerializeImage());
  const std::string written = folder + "\\my board_7.hex";
  EXPECT_TRUE(fs::exists(written));
  std::string quoted = written;
  for (std::size_t at = 0; (at = quoted.find('\'', at)) != std::string::npos; at += 2) {
    quoted.insert(at, 1, '\'');
  }
  EXPECT_EQ(StateValue(stateFile, "cmdline"), burner + " -p '" + quoted + "' -v");
}

}  // namespace
}  // namespace velmorin
