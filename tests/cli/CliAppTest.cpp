// The command line's commands run in-process, as the library the binary's
// main is built from: the profile commands, a serialization, usage errors,
// and the assignments the commands take.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/CliApp.h"
#include "cli/ExitCode.h"
#include "platform/ini/IniFile.h"
#include "serialize/Session.h"
#include "tests/support/HexRecords.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

class CliAppTest : public ::testing::Test {
 protected:
  // Runs one command line in-process; what it printed goes to `printed`.
  int Cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--ini", ini});
    std::FILE* out = std::tmpfile();
    cli::CliApp app;
    app.RegisterStandardCommands();
    const int code = app.Run(arguments, out);
    std::rewind(out);
    printed.clear();
    for (int c; (c = std::fgetc(out)) != EOF;) printed += static_cast<char>(c);
    std::fclose(out);
    return code;
  }
  std::string IniText() const {
    return std::filesystem::exists(ini) ? test::ReadFileBytes(ini) : std::string();
  }

  test::TempDir dir;
  std::string ini = dir.File("velmorin.ini");
  std::string skeleton = dir.File("board.hex");
  std::string printed;
};

TEST_F(CliAppTest, ProfileCommandsListShowAddSetAndRemove) {
  ASSERT_EQ(Cli({"add", skeleton, "NextSeqNum=0x10", "SeqNumFormat=BCD"}), cli::kExitDone);
  ASSERT_EQ(Cli({"set", skeleton, "NextSeqNum=20", "OutputFolder=out"}), cli::kExitDone);
  ASSERT_EQ(Cli({"profiles"}), cli::kExitDone);
  EXPECT_EQ(printed, skeleton + "\t20\n");
  ASSERT_EQ(Cli({"show", skeleton, "--json"}), cli::kExitDone);
  const auto json = nlohmann::json::parse(printed);
  EXPECT_EQ(json["settings"]["NextSeqNum"], 20);
  EXPECT_EQ(json["settings"]["OutputFolder"], "out");
  EXPECT_EQ(json["settings"]["SeqNumFormat"], "bcd");
  ASSERT_EQ(Cli({"remove", skeleton}), cli::kExitDone);
  EXPECT_EQ(IniFile(ini).ReadSections(), std::vector<std::string>{});
}

TEST_F(CliAppTest, UsageErrorsChangeNothing) {
  ASSERT_EQ(Cli({"add", skeleton}), cli::kExitDone);
  const std::string before = IniText();
  for (const std::vector<std::string>& line :
       {std::vector<std::string>{"set", skeleton, "NoSuchKey=1"},
        std::vector<std::string>{"set", skeleton, "SeqNumStep=0"},
        std::vector<std::string>{"add", "Options"}, std::vector<std::string>{"frobnicate"}}) {
    EXPECT_EQ(Cli(line), cli::kExitUsage) << line[0];
    EXPECT_EQ(IniText(), before) << line[0];
  }
}

TEST_F(CliAppTest, SerializeMakesTheImageAndAdvancesTheNumber) {
  test::WriteFileBytes(skeleton, test::HexImage(std::vector<std::uint8_t>(32, 0xFF)));
  ASSERT_EQ(Cli({"add", skeleton, "NextSeqNum=7", "OutputFolder=" + dir.Path().string()}),
            cli::kExitDone);
  ASSERT_EQ(Cli({"serialize", skeleton, "--count", "2"}), cli::kExitDone);
  EXPECT_TRUE(std::filesystem::exists(dir.File("board_7.hex")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("board_8.hex")));
  EXPECT_EQ(IniFile(ini).ReadInteger(skeleton, "NextSeqNum", -1), 9);
  EXPECT_EQ(Cli({"serialize", dir.File("none.hex")}), cli::kExitError);
}

TEST(SessionAssignments, SplitAtTheFirstEqualsAndEachKeyOnceInItsHome) {
  EXPECT_EQ(Session::SplitAssignment("BurnerCmdLine=a=b"),
            (std::pair<std::string, std::string>{"BurnerCmdLine", "a=b"}));
  EXPECT_THROW(Session::SplitAssignment("=1"), EProfileValueError);
  EXPECT_THROW(Session::SplitAssignment("NextSeqNum"), EProfileValueError);
  ProfileSettings settings;
  OptionalKeys optional;
  EXPECT_EQ(Session::ApplyAssignments(settings, optional,
                                      {"nextseqnum=5", "seqnumstep=3", "NextSeqNum=6"}),
            (std::vector<std::string>{"NextSeqNum", "SeqNumStep"}));
  EXPECT_EQ(settings.NextSeqNum, 6);
  EXPECT_EQ(optional.Get<SeqNumRules>().Step, 3);
}

}  // namespace
}  // namespace velmorin
