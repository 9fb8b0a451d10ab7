// The production record as the serialize commands write it: one line for each
// number taken, saying how that image ended, on every path.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/serialize/BurnerFixture.h"
#include "tests/serialize/SerializerFixture.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TestBurnerPath;

// One record line's columns after Time and Station (none of the tests' values
// needs CSV quoting).
struct Row {
  std::string skeleton, serial, outputFile, result, exitCode, message;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& r) {
  return out << r.skeleton << "|" << r.serial << "|" << r.outputFile << "|" << r.result << "|"
             << r.exitCode << "|" << r.message;
}

class ProductionRecordTest : public test::SerializerTest {
 protected:
  ProductionRecordTest() {
    IniFile(iniPath).WriteString("Options", "ProductionLog", "record.csv");
    store.Open();
    recordPath = dir.File("record.csv");
    skelFile = UseSkeleton("board.hex", test::Ramp(32));
    outFolder = UseOutputFolder("out");
    profile.EditableSettings().NextSeqNum = 100;
    profile.EditableSettings().BurnerCmdLine = TestBurnerPath() + " $image";
    profile.EditableSettings().HideBurner = true;
    serializer.SetSerialObserver([this](const ProductionEntry& entry) { heard.push_back(entry); });
  }

  std::string Output(int n) const {
    return (fs::path(outFolder) / ("board_" + std::to_string(n) + ".hex")).string();
  }

  // The record's lines below its header, split into columns.
  std::vector<Row> Rows() const {
    std::vector<Row> rows;
    std::istringstream lines(test::ReadFileBytes(recordPath));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, std::string(ProductionLog::kHeader) + "\r");
    while (std::getline(lines, line)) {
      EXPECT_EQ(line.back(), '\r');
      line.pop_back();
      std::vector<std::string> fields;
      std::istringstream columns(line);
      for (std::string field; std::getline(columns, field, ',');) fields.push_back(field);
      if (line.back() == ',') fields.emplace_back();
      EXPECT_EQ(fields.size(), 8u) << line;
      fields.resize(8);
      EXPECT_FALSE(fields[1].empty()) << "station";
      rows.push_back({fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]});
    }
    // A front end that reports each number (the command line) hears what
    // the record says.
    EXPECT_EQ(HeardRows(), rows);
    return rows;
  }

  std::vector<Row> HeardRows() const {
    std::vector<Row> rows;
    for (const ProductionEntry& e : heard) {
      rows.push_back({e.Skeleton, std::to_string(e.Serial), e.OutputFile,
                      ProductionLog::FateText(e.Fate),
                      e.ExitCode ? std::to_string(*e.ExitCode) : std::string(), e.Message});
    }
    return rows;
  }

  std::string recordPath, skelFile, outFolder;
  std::vector<ProductionEntry> heard;
};

TEST_F(ProductionRecordTest, BatchWithACancelledBurnInTheMiddle) {
  profile.EditableSettings().DontBurn = false;
  op.AnswerBox(mrOk).AnswerBox(mrCancel);
  serializer.SerializeBatch(3);
  EXPECT_EQ(Rows(), (std::vector<Row>{{skelFile, "100", Output(100), "ok", "0", ""},
                                      {skelFile, "101", Output(101), "cancelled", "", ""}}));
}

TEST_F(ProductionRecordTest, BurnerThatFailsOrCannotStart) {
  profile.EditableSettings().DontBurn = false;
  {
    ScopedEnv exitCode("VELMORIN_BURNER_EXIT", "3");
    op.AnswerBox(mrOk);
    serializer.SerializeOne();
  }
  profile.EditableSettings().BurnerCmdLine = dir.File("no-such-burner") + " $image";
  op.AnswerBox(mrOk);
  serializer.SerializeOne();
  EXPECT_EQ(Rows(), (std::vector<Row>{{skelFile, "100", Output(100), "burner failed", "3", ""},
                                      {skelFile, "101", Output(101), "burner failed", "", ""}}));
}

TEST_F(ProductionRecordTest, ErrorAfterTheNumberWasTakenAndDontSave) {
  const std::string missing = dir.File("missing");
  profile.EditableSettings().OutputFolder = missing;
  EXPECT_THROW(serializer.SerializeOne(), EInOutError);
  profile.EditableSettings().DontSave = true;
  op.AnswerBox(mrOk);
  serializer.SerializeOne();
  const std::string lost = (fs::path(missing) / "board_100.hex").string();
  EXPECT_EQ(Rows(), (std::vector<Row>{{skelFile, "100", lost, "error", "", "Invalid filename"},
                                      {skelFile, "101", "", "ok", "", ""}}));
}

TEST_F(ProductionRecordTest, NothingTakenNothingRecorded) {
  fs::remove(skelFile);
  op.AnswerBox(mrOk);
  serializer.SerializeOne();
  test::WriteFileBytes(skelFile, ":10000000GARBAGE\r\n");
  EXPECT_THROW(serializer.SerializeOne(), EIntelImageError);
  EXPECT_FALSE(fs::exists(recordPath));
  EXPECT_TRUE(heard.empty());
}

TEST_F(ProductionRecordTest, UnwritableRecordStopsTheBatch) {
  fs::create_directory(recordPath);  // a folder where the record should be
  try {
    serializer.SerializeBatch(3);
    ADD_FAILURE() << "the batch ran on without its record";
  } catch (const EProductionLogError& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + recordPath);
  }
  EXPECT_TRUE(fs::exists(Output(100)));
  EXPECT_FALSE(fs::exists(Output(101)));
  EXPECT_EQ(StoredNextSeqNum(), 101);
  // The number's report names the fault that stopped the batch.
  EXPECT_EQ(HeardRows(), (std::vector<Row>{{skelFile, "100", Output(100), "error", "",
                                            "Unable to write to " + recordPath}}));
}

// Without the key, the program is what it was: no record file, and the INI
// file holds exactly what a store without the record would write.
TEST(ProductionRecordOff, NoKeyNoRecordAndTheSameIniFile) {
  std::string iniTexts[2];
  for (const bool withEmptyKey : {false, true}) {
    test::TempDir dir;
    test::ScriptedOperator op;
    const std::string ini = dir.File("velmorin.ini");
    if (withEmptyKey) IniFile(ini).WriteString("Options", "ProductionLog", "");
    WorkingProfile profile;
    ProfileStore store(ini, profile, [&op] { return message::AskToSaveChanges(op); });
    store.Open();
    Serializer serializer(profile, store, op);
    std::vector<ProductionEntry> heard;
    serializer.SetSerialObserver(
        [&heard](const ProductionEntry& entry) { heard.push_back(entry); });
    profile.EditSkeletonText(dir.File("board.hex"));
    test::WriteFileBytes(profile.SkeletonText(),
                         test::HexRecord(0, test::Ramp(16)) + test::kHexEnd);
    profile.EditableSettings().OutputFolder = dir.Path().string();
    op.AnswerBox(mrOk);
    serializer.SerializeOne();
    // Reported all the same, record or not.
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].Fate, SerialFate::Ok);
    EXPECT_EQ(heard[0].OutputFile, (dir.Path() / "board_0.hex").lexically_normal().string());
    std::string text = test::ReadFileBytes(ini);
    if (withEmptyKey) {
      const std::string key = "[Options]\r\nProductionLog=\r\n";
      ASSERT_EQ(text.substr(0, key.size()), key);
      text.erase(0, key.size());
    }
    // The two runs differ in their folder only.
    const std::string folder = dir.Path().string();
    for (std::size_t at; (at = text.find(folder)) != std::string::npos;) {
      text.replace(at, folder.size(), "<dir>");
    }
    iniTexts[withEmptyKey ? 1 : 0] = text;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == "velmorin.ini" || name == "velmorin.ini.lock" || name == "board.hex" ||
                  name == "board_0.hex")
          << name;
    }
  }
  EXPECT_EQ(iniTexts[0], iniTexts[1]);
  EXPECT_EQ(iniTexts[0].find("ProductionLog"), std::string::npos);
}

}  // namespace
}  // namespace velmorin
