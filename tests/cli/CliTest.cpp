// velmorin-cli as a script meets it, on every platform: the profile commands,
// the exit codes, stamping, and a batch against the window's road.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "image/IntelImage.h"
#include "platform/ini/IniFileLock.h"
#include "serialize/AnswerOperator.h"
#include "serialize/Session.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::RunCli;
using test::TempDir;

class CliTest : public test::CliFixture {
 protected:
  CliTest() : CliFixture(256) {}
};

TEST_F(CliTest, ProfilesAreAddedShownChangedAndRemoved) {
  ASSERT_EQ(Cli({"add", skeleton, "nextseqnum=0x3E8", "SeqNumOfs1=0x30", "byteorder=1"}).exitCode,
            0);
  ASSERT_EQ(Cli({"add", "other.hex"}).exitCode, 0);

  const CliResult shown = Cli({"show", skeleton});
  EXPECT_EQ(shown.exitCode, 0) << shown.err;
  // A new profile: the window's defaults for a new file, then the given values.
  EXPECT_EQ(shown.out,
            "NextSeqNum=1000\nAutoIncSeq=1\nSeqNumSize=2\nSetSeqNumOfs1=1\nSeqNumOfs1=48\n"
            "SetSeqNumOfs2=0\nSeqNumOfs2=0\nSetSeqNumOfs3=0\nSeqNumOfs3=0\nSetSeqNumOfs4=0\n"
            "SeqNumOfs4=0\nByteOrder=1\nBurnerCmdLine=\nDontBurn=1\nHideBurner=0\n"
            "OutputFolder=.\nDontSave=0\n");

  ASSERT_EQ(Cli({"set", skeleton, "OUTPUTFOLDER=out dir", "NextSeqNum=-5"}).exitCode, 0);
  const auto json = nlohmann::json::parse(Cli({"show", skeleton, "--json"}).out);
  EXPECT_EQ(json["skeleton"], skeleton);
  EXPECT_EQ(json["settings"]["NextSeqNum"], -5);
  EXPECT_EQ(json["settings"]["OutputFolder"], "out dir");
  EXPECT_EQ(json["settings"]["ByteOrder"], 1);
  EXPECT_EQ(json["settings"]["DontBurn"], true);

  // A relative name is stored as the absolute path it names, as the window's
  // Browse gives it, so a window started in another folder finds the file.
  const std::string other = (std::filesystem::path(skeleton).parent_path() / "other.hex").string();
  EXPECT_EQ(Cli({"profiles"}).out, skeleton + "\t-5\n" + other + "\t0\n");
  const auto list = nlohmann::json::parse(Cli({"profiles", "--json"}).out);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1]["skeleton"], other);

  // The window's last selection keeps pointing at the same profile.
  test::WriteFileBytes(ini, IniText() + "[Options]\r\nDefaultImg=1\r\n");
  ASSERT_EQ(Cli({"remove", skeleton}).exitCode, 0);
  EXPECT_EQ(Cli({"profiles"}).out, other + "\t0\n");
  EXPECT_NE(IniText().find("DefaultImg=0"), std::string::npos) << IniText();

  // A second add of a profile, and a profile that isn't there, are errors.
  const CliResult again = Cli({"add", "OTHER.HEX"});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_EQ(Cli({"show", skeleton}).exitCode, 1);
  EXPECT_EQ(Cli({"remove", skeleton}).exitCode, 1);
}

// Exit 2: the command line is wrong, and the INI file stays byte for byte.
TEST_F(CliTest, UsageErrorsTouchNothing) {
  ASSERT_EQ(Cli({"add", skeleton, "NextSeqNum=7"}).exitCode, 0);
  const std::string before = IniText();
  const std::vector<std::vector<std::string>> cases = {
      {"frobnicate"},
      {"profiles", "--frob"},
      {"set", skeleton, "NoSuchKey=1"},
      {"set", skeleton, "NextSeqNum"},
      {"set", skeleton, "NextSeqNum=seven"},
      {"set", skeleton, "NextSeqNum=0x100000000"},
      {"set", skeleton, "SeqNumSize=0x10001"},
      {"set", skeleton, "SeqNumSize=-1"},
      {"set", skeleton, "DontBurn=2"},
      {"set", skeleton, "ByteOrder=-1"},
      {"set", skeleton, "NextSeqNum=9", "OutputFolder=a\nb"},
      {"set", skeleton, "BurnerCmdLine=" + std::string(2048, 'x')},
      {"add", "new.hex", "SeqNumOfs2=zz"},
      {"add", "Options"},
      {"serialize", skeleton, "--count", "0"},
      {"stamp", skeleton, "o.hex", "--serial", "1"},
      {"stamp", skeleton, "o.hex", "--serial", "1", "--at", "0x1g"},
      {"stamp", skeleton, "o.hex", "--serial", "1", "--size", "0x10001", "--at", "0"},
      {"stamp", skeleton, "o.hex", "--serial", "65536", "--at", "0"},  // too wide for 2 bytes
      {"stamp", skeleton, "o.hex", "--serial", "-1", "--size", "3", "--at", "0"},
      {"stamp", skeleton, "o.hex", "--serial", "1", "--at", "1", "--at", "2", "--at", "3", "--at",
       "4", "--at", "5"},
  };
  for (const auto& args : cases) {
    const CliResult result = Cli(args);
    EXPECT_EQ(result.exitCode, 2) << args.at(0) << " " << args.back() << ": " << result.err;
    EXPECT_EQ(result.err.rfind("velmorin-cli: ", 0), 0u) << result.err;
    EXPECT_EQ(IniText(), before) << args.back();
  }
  EXPECT_FALSE(fs::exists(dir.File("o.hex")));
  EXPECT_EQ(RunCli({{"--version"}, "", ""}).exitCode, 0);
  const CliResult help = RunCli({{"--help"}, "", ""});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("130"), std::string::npos);
}

// "--" lets a name start with "-"; the options of a command with one name may
// follow it.
TEST_F(CliTest, NameAfterDoubleDashMayBeFollowedByOptions) {
  ASSERT_EQ(Cli({"add", "--", "-x.hex", "NextSeqNum=5"}).exitCode, 0);
  const CliResult shown = Cli({"show", "--", "-x.hex", "--json"});
  ASSERT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_EQ(nlohmann::json::parse(shown.out)["settings"]["NextSeqNum"], 5);
  EXPECT_EQ(Cli({"show", "--json", "--", "-x.hex"}).out, shown.out);
  // After the name, a word that is no option is still a second name: refused.
  EXPECT_EQ(Cli({"show", "--", "-x.hex", "extra"}).exitCode, 2);
  EXPECT_EQ(Cli({"remove", "--", "-x.hex"}).exitCode, 0);
}

// Exit 1 with the text of the window's error box, and exit 4 while another
// copy holds the file.
TEST_F(CliTest, ErrorsAndTheLock) {
  ASSERT_EQ(Cli({"add", "missing.hex", "DontBurn=1"}).exitCode, 0);
  const CliResult missing = Cli({"serialize", "missing.hex"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "velmorin-cli: Skeleton file not found.\n");
  EXPECT_EQ(missing.out, "");

  const std::string before = IniText();
  const auto hold = IniFileLock::Acquire(ini);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"profiles"},
                                               {"set", "missing.hex", "NextSeqNum=5"},
                                               {"serialize", "missing.hex"}}) {
    const CliResult refused = Cli(args);
    EXPECT_EQ(refused.exitCode, 4) << args[0];
    EXPECT_NE(refused.err.find("in use by another copy"), std::string::npos) << refused.err;
  }
  EXPECT_EQ(IniText(), before);
}

// A slot whose bytes run past 0xFFFFFFFF takes no number: Next SN stays,
// nothing is written, the record has no line.
TEST_F(CliTest, SlotPastTheTopAddressIsRefusedBeforeTheTake) {
  // Data at 0 and in the last 16 bytes below 4 GiB.
  std::string low = test::SkeletonHex(16);
  low.erase(low.find(":00000001FF"));
  const std::string top = dir.File("top.hex");
  test::WriteFileBytes(top, low +
                                ":02000004FFFFFC\r\n:10FFF0000000000000000000000000000000000001\r\n"
                                ":00000001FF\r\n");
  ASSERT_EQ(Cli({"add", top, "NextSeqNum=40", "SetSeqNumOfs2=1", "SeqNumOfs2=0xFFFFFFFF",
                 "OutputFolder=" + dir.Path().string()})
                .exitCode,
            0);
  test::WriteFileBytes(ini, IniText() + "[Options]\r\nProductionLog=record.csv\r\n");
  const std::string before = IniText();
  const CliResult refused = Cli({"serialize", top, "--json"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err,
            "velmorin-cli: Slot 2 at 0xFFFFFFFF with 2 bytes runs past the last address, "
            "0xFFFFFFFF.\n");
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(IniText(), before);
  EXPECT_FALSE(fs::exists(dir.File("top_40.hex")));
  EXPECT_FALSE(fs::exists(dir.File("record.csv")));

  // stamp refuses it too, before it writes anything.
  const CliResult wrapped =
      RunCli({{"stamp", top, dir.File("out.hex"), "--serial", "5", "--at", "0", "--at", "FFFFFFFF"},
              "",
              ""});
  EXPECT_EQ(wrapped.exitCode, 2);
  EXPECT_EQ(wrapped.err, refused.err);
  EXPECT_FALSE(fs::exists(dir.File("out.hex")));
}

// A batch on the command line leaves what the window's road leaves for the
// same profile: the same files, the same Next SN, and one JSON line per
// number that says what the production record says.
TEST_F(CliTest, SerialNumberRulesAreSetShownAndHeld) {
  ASSERT_EQ(Cli({"add", skeleton, "SeqNumFormat=UTF16", "SeqNumSize=5", "LastSeqNum=0x10",
                 "OutputFolder=" + dir.Path().string()})
                .exitCode,
            0);
  ASSERT_EQ(Cli({"set", skeleton, "seqnumstep=7", "NextSeqNum=10"}).exitCode, 0);
  const std::string shown = Cli({"show", skeleton}).out;
  EXPECT_NE(shown.find("DontSave=0\nSeqNumFormat=utf16\nSeqNumStep=7\nLastSeqNum=16\n"),
            std::string::npos)
      << shown;
  EXPECT_EQ(nlohmann::json::parse(Cli({"show", skeleton, "--json"}).out)["settings"]["SeqNumStep"],
            7);

  // A refused value names itself and touches nothing.
  const std::string before = IniText();
  const CliResult bad = Cli({"set", skeleton, "SeqNumFormat=ebcdic"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("\"ebcdic\" for SeqNumFormat"), std::string::npos) << bad.err;
  EXPECT_EQ(IniText(), before);

  // 10 is handed out as UTF-16LE digits "00010"; 17 is beyond the last number.
  const CliResult batch = Cli({"serialize", skeleton, "--count", "3", "--json"});
  EXPECT_EQ(batch.exitCode, 1);
  EXPECT_EQ(batch.err, "velmorin-cli: The serial numbers of this profile are used up (last 16).\n");
  EXPECT_EQ(std::count(batch.out.begin(), batch.out.end(), '\n'), 1) << batch.out;
  TIntelImage image;
  image.LoadFromFile(dir.File("board_10.hex"));
  EXPECT_EQ((std::vector<std::uint32_t>{image.GetByte(6), image.GetByte(7), image.GetByte(8)}),
            (std::vector<std::uint32_t>{'1', 0, '0'}));
  EXPECT_NE(IniText().find("NextSeqNum=17"), std::string::npos) << IniText();

  // A refused rule in the window's last selection stops only that profile.
  test::WriteFileBytes(
      ini, "[bad.hex]\r\nSeqNumFormat=ebcdic\r\n" + IniText() + "[Options]\r\nDefaultImg=0\r\n");
  ASSERT_EQ(Cli({"set", skeleton, "LastSeqNum=100"}).exitCode, 0);
  EXPECT_EQ(Cli({"serialize", skeleton}).exitCode, 0);
  const CliResult refused = Cli({"serialize", "bad.hex"});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_NE(refused.err.find("ebcdic"), std::string::npos) << refused.err;
}

TEST_F(CliTest, BatchMatchesTheWindowsRoad) {
  const std::vector<std::string> values = {
      "NextSeqNum=0x7FFFFFFE", "SeqNumSize=6",    "ByteOrder=1", "SeqNumOfs1=0x10",
      "SetSeqNumOfs3=1",       "SeqNumOfs3=0xF0", "DontBurn=1"};
  fs::create_directories(dir.Path() / "cli");
  fs::create_directories(dir.Path() / "road");
  std::vector<std::string> add = {"add", skeleton, "OutputFolder=" + dir.File("cli")};
  add.insert(add.end(), values.begin(), values.end());
  ASSERT_EQ(Cli(add).exitCode, 0);
  test::WriteFileBytes(ini, IniText() + "[Options]\r\nProductionLog=cli.csv\r\n");

  // The window's road: the session alone, the same profile.
  const std::string roadIni = dir.File("road.ini");
  {
    std::string text = test::ReadFileBytes(ini);
    text.replace(text.find("cli.csv"), 7, "road.csv");
    test::WriteFileBytes(roadIni, text);
    AnswerOperator op;
    Session session(velmorin::IniLocation{roadIni, false}, op);
    velmorin::WorkingProfile& profile = session.Profile();
    session.Open();
    ASSERT_TRUE(session.LoadProfile(skeleton));
    profile.EditableSettings().OutputFolder = dir.File("road");
    session.StoreProfile();
    ASSERT_TRUE(session.SerializeBatch(4).Finished());
  }

  const CliResult batch = Cli({"serialize", skeleton, "--count", "4", "--json"});
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  EXPECT_EQ(batch.err, "");  // no terminal: no progress

  std::istringstream lines(batch.out);
  std::string line;
  const std::int32_t serials[] = {0x7FFFFFFE, 0x7FFFFFFF, INT32_MIN, INT32_MIN + 1};
  for (const std::int32_t serial : serials) {
    ASSERT_TRUE(std::getline(lines, line));
    const std::string name = "board_" + std::to_string(serial) + ".hex";
    const std::string output = (dir.Path() / "cli" / name).lexically_normal().string();
    EXPECT_EQ(line, nlohmann::ordered_json({{"serial", serial},
                                            {"output", output},
                                            {"result", "ok"},
                                            {"exit_code", nullptr},
                                            {"message", ""}})
                        .dump());
    EXPECT_EQ(test::ReadFileBytes(output), test::ReadFileBytes(dir.File("road/" + name))) << name;
  }
  EXPECT_FALSE(std::getline(lines, line));
  // The record lines agree but for the time and the folder.
  const auto recordOf = [](std::string text, const std::string& folder) {
    std::string rest;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
      const std::size_t at = l.find(',');
      rest += l.substr(at == std::string::npos ? 0 : at) + "\n";
    }
    for (std::size_t p; (p = rest.find(folder)) != std::string::npos;) rest.erase(p, folder.size());
    return rest;
  };
  const std::string cliRecord = recordOf(test::ReadFileBytes(dir.File("cli.csv")), dir.File("cli"));
  EXPECT_EQ(cliRecord, recordOf(test::ReadFileBytes(dir.File("road.csv")), dir.File("road")));
  EXPECT_NE(cliRecord.find(",ok,"), std::string::npos) << cliRecord;
  const std::string cliText = IniText();
  const std::string roadText = test::ReadFileBytes(roadIni);
  EXPECT_NE(cliText.find("NextSeqNum=-2147483646"), std::string::npos) << cliText;
  EXPECT_NE(roadText.find("NextSeqNum=-2147483646"), std::string::npos) << roadText;
}

}  // namespace
}  // namespace velmorin
