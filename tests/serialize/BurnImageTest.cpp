#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "serialize/BurnerCommand.h"
#include "tests/serialize/BurnerFixture.h"
#include "tests/serialize/SerializerFixture.h"
#include "tests/support/SystemSkip.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::BurnerLog;
using test::ScopedEnv;
using test::SerializerTest;
using test::TestBurnerPath;
using Args = std::vector<std::string>;

TEST(BurnerCommand, ReplacesEveryPlaceholderLeftToRightWithTheQuotedPath) {
  const struct {
    const char* commandTemplate;
    const char* path;
    const char* line;
  } cases[] = {
      {"prog -p $image -v", "/out/board_17.hex", "prog -p /out/board_17.hex -v"},
      {"prog -p $image -v", "/My Out/board_17.hex", "prog -p '/My Out/board_17.hex' -v"},
      {"prog -p $image -v", "/Ann's Out/b_1.hex", "prog -p '/Ann''s Out/b_1.hex' -v"},
      {"prog -p $image -v", "", "prog -p  -v"},
      {"prog $image $image", "/a b", "prog '/a b' '/a b'"},
      {"prog $images", "/o/b_1.hex", "prog /o/b_1.hexs"},
      {"prog \"$image\"", "/My Out/b.hex", "prog \"'/My Out/b.hex'\""},
      {"prog -U flash:w:$image:i", "/o/b.hex", "prog -U flash:w:/o/b.hex:i"},
      // Only the exact lower-case placeholder counts.
      {"prog $IMAGE $Image $imag", "/o/b.hex", "prog $IMAGE $Image $imag"},
      {"prog $$image", "/o/b.hex", "prog $/o/b.hex"},
      {"prog", "/o/b.hex", "prog"},
      {"", "/o/b.hex", ""},
      // Inserted text is never scanned again.
      {"prog $image", "/o/$image.hex", "prog /o/$image.hex"},
      {"prog $image$image", "/$ima", "prog /$ima/$ima"},
#ifndef _WIN32  // the quoting rules of each system's splitter differ
      // Characters our splitter gives a meaning get the path quoted too.
      {"prog $image", "/Ann's/b_1.hex", "prog '/Ann''s/b_1.hex'"},
      {"prog $image", "/t\tab/b.hex", "prog '/t\tab/b.hex'"},
      {"prog $image", "/q\"/b.hex", "prog '/q\"/b.hex'"},
#endif
      {"prog $image", "/semi;colon/b.hex", "prog /semi;colon/b.hex"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.commandTemplate + std::string(" with ") + c.path);
    EXPECT_EQ(BuildBurnerCommandLine(c.commandTemplate, c.path), c.line);
  }
}

// A slot's value goes in for "$slot" in the same left-to-right scan, quoted
// as the path is; without one, "$slot" is text.
TEST(BurnerCommand, ReplacesTheSlotsValueInTheSameScan) {
  const struct {
    const char* commandTemplate;
    const char* path;
    std::optional<std::string> value;
    const char* line;
  } cases[] = {
      {"prog -s $slot -p $image", "/o/b.hex", "0671FF", "prog -s 0671FF -p /o/b.hex"},
      {"prog -s $slot", "/o/b.hex", std::nullopt, "prog -s $slot"},
      {"prog sn=$slot $slots", "/o/b.hex", "7", "prog sn=7 7s"},
      {"prog $slot", "/o/b.hex", "probe A", "prog 'probe A'"},
      {"prog $image", "/o/$slot/b.hex", "3", "prog /o/$slot/b.hex"},
      {"prog $slot", "/o/b.hex", "$image", "prog $image"},
      {"prog $image $SLOT", "/o/b.hex", "1", "prog /o/b.hex $SLOT"},
#ifndef _WIN32
      {"prog $image$slot", "/a b", "c d", "prog '/a bc d'"},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.commandTemplate);
    EXPECT_EQ(BuildBurnerCommandLine(c.commandTemplate, c.path, c.value), c.line);
  }
}

class BurnImageTest : public SerializerTest {
 protected:
  BurnImageTest() : log(dir) {
    profile.EditableSettings().DontBurn = false;
    profile.EditableSettings().HideBurner = true;
  }
  // Runs BurnImage with the operator answering `answer` to the question.
  bool Burn(const std::string& path, TModalResult answer = mrOk) {
    op.AnswerBox(answer);
    return serializer.BurnImage(image, path);
  }

  BurnerLog log;
  TIntelImage image;
  const std::string burner = TestBurnerPath();
};

TEST_F(BurnImageTest, BurnerReceivesThePathAsOneArgument) {
  VELMORIN_SKIP_ON_WINDOWS(
      "on Windows the burner's own run-time splits its line; "
      "BurnImageWinTest checks the line it receives");
  const std::string blanks = dir.File("My Out/board 17.hex");
  const std::string apostrophe = dir.File("Ann's Out/b_1.hex");
  const std::string apostropheOnly = dir.File("Ann's/b_1.hex");
  const std::string plain = dir.File("out/b_1.hex");
  const struct {
    std::string commandTemplate;
    std::string path;
    Args args;  // after the program name
  } cases[] = {
      {burner + " -p $image -v", plain, {"-p", plain, "-v"}},
      {burner + " $image --again $image", blanks, {blanks, "--again", blanks}},
      {burner + " $images", plain, {plain + "s"}},
      {burner + " $images", blanks, {blanks + "s"}},
      {burner + " -p $image -v", blanks, {"-p", blanks, "-v"}},
      {burner + " -p $image -v", apostrophe, {"-p", apostrophe, "-v"}},
      {burner + " -p $image -v", apostropheOnly, {"-p", apostropheOnly, "-v"}},
      {burner + " -U flash:w:$image:i", blanks, {"-U", "flash:w:" + blanks + ":i"}},
      // Quotes around the placeholder in the template stay the template's:
      // a path with blanks still gets its apostrophes inside them.
      {burner + " \"$image\"", plain, {plain}},
      {burner + " \"$image\"", blanks, {"'" + blanks + "'"}},
      {burner + " '$image'", plain, {plain}},
      // A path that would read as an option goes as "./" + path, the same file.
      {burner + " -p $image", "-rf_1.hex", {"-p", "./-rf_1.hex"}},
      {burner + " -p $image", "-my out/b 1.hex", {"-p", "./-my out/b 1.hex"}},
      // No output path: each placeholder simply disappears.
      {burner + " -p $image -v", "", {"-p", "-v"}},
      {burner + " \"$image\"", "", {""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.commandTemplate + " with " + c.path);
    profile.EditableSettings().BurnerCmdLine = c.commandTemplate;
    fs::remove(log.Path());
    EXPECT_TRUE(Burn(c.path));
    Args expected = {burner};
    expected.insert(expected.end(), c.args.begin(), c.args.end());
    ASSERT_EQ(log.Runs().size(), 1u);
    EXPECT_EQ(log.Runs()[0], expected);
  }
  for (const auto& box : op.boxes) {
    EXPECT_EQ(box.text, "Prepare a chip in the burner, please.");
    EXPECT_EQ(box.kind, BoxKind::Confirm);
    EXPECT_EQ(box.buttons, box_button::OK | box_button::Cancel);
  }
}

TEST_F(BurnImageTest, SucceedsExactlyOnExitCodeZero) {
  profile.EditableSettings().BurnerCmdLine = burner + " $image";
  EXPECT_TRUE(Burn("x.hex"));
  for (const char* code : {"1", "2", "255"}) {
    ScopedEnv exitCode("VELMORIN_BURNER_EXIT", code);
    EXPECT_FALSE(Burn("x.hex")) << code;
  }
  {
    ScopedEnv killed("VELMORIN_BURNER_SIGNAL", "9");
    EXPECT_FALSE(Burn("x.hex"));
  }
  for (const std::string& missing :
       {dir.File("no-burner") + " $image", std::string("velmorin-no-such-burner $image"),
        std::string(""), std::string("$image")}) {
    profile.EditableSettings().BurnerCmdLine = missing;
    EXPECT_FALSE(Burn("")) << missing;
  }
  EXPECT_EQ(log.Runs().size(), 5u);
  // No box but the questions.
  EXPECT_EQ(op.boxes.size(), 9u);
}

TEST_F(BurnImageTest, CancelOrDontBurnRunNothing) {
  profile.EditableSettings().BurnerCmdLine = burner + " $image";
  EXPECT_FALSE(Burn("x.hex", mrCancel));
  EXPECT_FALSE(Burn("x.hex", mrNone));
  EXPECT_FALSE(Burn("x.hex", mrNo));
  profile.EditableSettings().DontBurn = true;
  EXPECT_TRUE(serializer.BurnImage(image, "x.hex"));
  EXPECT_EQ(op.boxes.size(), 3u);
  EXPECT_TRUE(log.Runs().empty());
}

TEST_F(BurnImageTest, HideSendsTheBurnersOutputNowhere) {
  VELMORIN_SKIP_ON_WINDOWS("/dev/null is POSIX; BurnImageWinTest checks the show value");
  ScopedEnv state("VELMORIN_BURNER_STATE", dir.File("state"));
  profile.EditableSettings().BurnerCmdLine = burner;
  EXPECT_TRUE(Burn(""));
  EXPECT_NE(test::ReadFileBytes(dir.File("state")).find("fd 1 /dev/null\n"), std::string::npos);
  profile.EditableSettings().HideBurner = false;
  EXPECT_TRUE(Burn(""));
  EXPECT_EQ(test::ReadFileBytes(dir.File("state")).find("fd 1 /dev/null\n"), std::string::npos);
}

// The runner seam: the serializer hands any runner the command line and the
// visibility value.
TEST_F(BurnImageTest, AnotherRunnerGetsTheSameContract) {
  struct Runner : BurnerRunner {
    std::vector<std::pair<std::string, WindowShow>> runs;
    BurnOutcome Run(const std::string& line, WindowShow show, const BurnContext&) override {
      runs.emplace_back(line, show);
      return {runs.size() == 1 ? 0u : 0xFFFFFFFFu, true, false};
    }
  } runner;
  serializer.SetBurnerRunner(runner);
  profile.EditableSettings().BurnerCmdLine = "prog -p $image";
  EXPECT_TRUE(Burn("/a b.hex"));
  profile.EditableSettings().HideBurner = false;
  EXPECT_FALSE(Burn("/c.hex"));
  EXPECT_EQ(runner.runs, (std::vector<std::pair<std::string, WindowShow>>{
                             {"prog -p '/a b.hex'", WindowShow::Hidden},
                             {"prog -p /c.hex", WindowShow::Normal}}));
}

// objcopy as the burner: the chip receives the skeleton with the number in it.
TEST_F(BurnImageTest, ObjcopyAsBurnerWritesTheStampedImage) {
  VELMORIN_SKIP_ON_WINDOWS("objcopy is not a Windows program here");
  std::vector<std::uint8_t> bytes = test::Ramp(40);
  UseSkeleton("board.hex", bytes);
  UseOutputFolder("My Out");
  profile.EditableSettings().NextSeqNum = 0x0A0B0C0D;
  profile.EditableSettings().SeqNumSize = 4;
  profile.EditableSettings().SeqNumOfs[0] = 0x10;
  profile.EditableSettings().BurnerCmdLine =
      "objcopy -I ihex -O binary $image " + dir.File("chip.bin");
  op.AnswerBox(mrOk);
  EXPECT_TRUE(serializer.SerializeImage());

  bytes[0x10] = 0x0A;
  bytes[0x11] = 0x0B;
  bytes[0x12] = 0x0C;
  bytes[0x13] = 0x0D;
  EXPECT_EQ(test::ReadFileBytes(dir.File("chip.bin")), std::string(bytes.begin(), bytes.end()));
}

// File and folder names full of shell syntax reach the burner as one argument
// and run nothing.
TEST_F(BurnImageTest, ShellSyntaxInNamesRunsNoCommand) {
  VELMORIN_SKIP_ON_WINDOWS(
      "Windows names cannot hold \"|\" or line breaks; "
      "BurnImageWinTest runs the names Windows allows");
  // Run from the test's folder, any of these would leave a file "pwned" there.
  const std::string nasty[] = {
      "; touch pwned ;",
      "$(touch pwned)",
      "`touch pwned`",
      "&touch pwned&",
      "|touch pwned|",
      "x\ntouch pwned\n",
      ";$(touch${IFS}pwned)&|`id`\n",
  };
  test::ScopedCurrentPath cwd(dir.Path());
  profile.EditableSettings().BurnerCmdLine = burner + " $image";
  // A skeleton path with a newline cannot name an INI section, so the numbers
  // are set here rather than stored.
  profile.EditableSettings().AutoIncSeq = false;
  int serial = 0;
  for (const std::string& name : nasty) {
    SCOPED_TRACE(name);
    fs::remove(log.Path());
    // In the skeleton's name, then in the output folder's.
    UseSkeleton(name + ".hex", test::Ramp(4));
    profile.EditableSettings().OutputFolder = dir.Path().string();
    profile.EditableSettings().NextSeqNum = ++serial;
    op.AnswerBox(mrOk);
    EXPECT_TRUE(serializer.SerializeImage());
    const std::string inFolder = UseOutputFolder("out" + name);
    UseSkeleton("board.hex", test::Ramp(4));
    profile.EditableSettings().NextSeqNum = ++serial;
    op.AnswerBox(mrOk);
    EXPECT_TRUE(serializer.SerializeImage());

    const auto runs = log.Runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], (Args{burner, dir.File(name + "_" + std::to_string(serial - 1) + ".hex")}));
    EXPECT_EQ(runs[1], (Args{burner, inFolder + "/board_" + std::to_string(serial) + ".hex"}));
    EXPECT_TRUE(fs::exists(runs[0][1]));
    EXPECT_TRUE(fs::exists(runs[1][1]));
  }
  EXPECT_FALSE(fs::exists(dir.File("pwned")));
}

}  // namespace
}  // namespace velmorin
