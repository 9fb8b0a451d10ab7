#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <limits>

#include "serialize/SeqNumStamp.h"
#include "tests/serialize/BurnerFixture.h"
#include "tests/serialize/SerializerFixture.h"
#include "tests/support/ScopedFilePermissions.h"
#include "tests/support/SystemSkip.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::BurnerLog;
using test::ScopedEnv;
using test::TestBurnerPath;
using Texts = std::vector<std::string>;

constexpr const char* kPrepare = "Prepare a chip in the burner, please.";
constexpr const char* kNotFound = "Skeleton file not found.";
constexpr const char* kOneOk = "Image serialized OK.";

class SerializeCommandsTest : public test::SerializerTest {
 protected:
  SerializeCommandsTest() : log(dir) {
    skelFile = UseSkeleton("board.hex", test::Ramp(32));
    outFolder = UseOutputFolder("out");
    profile.EditableSettings().NextSeqNum = 100;
    profile.EditableSettings().SeqNumOfs[0] = 0x08;
    profile.EditableSettings().BurnerCmdLine = TestBurnerPath() + " $image";
    profile.EditableSettings().HideBurner = true;
  }
  std::string Output(std::int32_t seqNum) const {
    // Joined with the platform's separator ("\\" on Windows).
    return (fs::path(outFolder) / ("board_" + std::to_string(seqNum) + ".hex")).string();
  }
  // The files in the output folder.
  std::size_t OutputCount() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(outFolder), fs::directory_iterator{}));
  }

  BurnerLog log;
  std::string skelFile;
  std::string outFolder;
};

// Each row of the failure table: what is taken, what is on disk, what is shown.

TEST_F(SerializeCommandsTest, SkeletonAbsentTakesNothing) {
  fs::remove(skelFile);
  op.AnswerBox(mrOk).AnswerBox(mrOk);
  serializer.SerializeOne();
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text, kNotFound);
  EXPECT_EQ(op.boxes[0].kind, BoxKind::Error);
  EXPECT_EQ(op.boxes[0].buttons, box_button::OK);
  EXPECT_EQ(profile.Settings().NextSeqNum, 100);
  EXPECT_FALSE(fs::exists(iniPath));
  EXPECT_EQ(OutputCount(), 0u);
  profile.EditSkeletonText("");
  EXPECT_FALSE(serializer.SerializeImage());
  EXPECT_EQ(BoxTexts(), (Texts{kNotFound, kNotFound}));
}

TEST_F(SerializeCommandsTest, UnreadableSkeletonRaisesAndTakesNothing) {
  const std::string broken[] = {":10000000GARBAGE\r\n", ":0400000001020304F1\r\n:00000001FF\r\n"};
  for (const std::string& text : broken) {
    test::WriteFileBytes(skelFile, text);
    EXPECT_THROW(serializer.SerializeOne(), EIntelImageError);
  }
  // A folder passes the presence test; reading it fails.
  profile.EditSkeletonText(outFolder);
  EXPECT_THROW(serializer.SerializeOne(), Exception);
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_EQ(profile.Settings().NextSeqNum, 100);
  EXPECT_FALSE(fs::exists(iniPath));
  EXPECT_EQ(OutputCount(), 0u);
}

TEST_F(SerializeCommandsTest, StampingErrorKeepsTheNumberUsedAndWritesNothing) {
  // An image without bytes: the first SetByte fails.
  test::WriteFileBytes(skelFile, test::kHexEnd);
  EXPECT_THROW(serializer.SerializeOne(), EObjImageError);
  EXPECT_EQ(profile.Settings().NextSeqNum, 101);
  EXPECT_EQ(StoredNextSeqNum(), 101);

  // A width above the cap: refused before any byte, number used.
  UseSkeleton("board.hex", test::Ramp(32));
  profile.EditableSettings().SeqNumSize = kMaxSeqNumSize + 1;
  EXPECT_THROW(serializer.SerializeOne(), ESeqNumSizeError);
  EXPECT_EQ(profile.Settings().NextSeqNum, 102);
  EXPECT_EQ(StoredNextSeqNum(), 102);
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_EQ(OutputCount(), 0u);
  EXPECT_TRUE(log.Runs().empty());
}

TEST_F(SerializeCommandsTest, OutputWriteErrorKeepsTheNumberUsedAndRunsNoBurner) {
  profile.EditableSettings().DontBurn = false;
  profile.EditableSettings().OutputFolder = dir.File("missing");
  EXPECT_THROW(serializer.SerializeOne(), EInOutError);
  EXPECT_EQ(StoredNextSeqNum(), 101);

#ifndef _WIN32  // a folder's read-only attribute does not stop new files on Windows
  // A read-only folder: nothing left under the name, not even a partial file.
  profile.EditableSettings().OutputFolder = outFolder;
  fs::permissions(outFolder, fs::perms::owner_read | fs::perms::owner_exec);
  {
    test::ScopedFilePermissions bite;
    EXPECT_THROW(serializer.SerializeOne(), EInOutError);
  }
  fs::permissions(outFolder, fs::perms::owner_all);
  EXPECT_EQ(StoredNextSeqNum(), 102);
#endif
  EXPECT_EQ(OutputCount(), 0u);
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_TRUE(log.Runs().empty());
}

TEST_F(SerializeCommandsTest, ProfileStoreErrorStopsBeforeTheImageIsStamped) {
  // The INI file's folder refuses writes: the number cannot be made durable,
  // so no image carrying it may appear.
  VELMORIN_SKIP_ON_WINDOWS(test::kFolderAttributeAllowsNewFiles);
  fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
  {
    test::ScopedFilePermissions bite;
    EXPECT_THROW(serializer.SerializeOne(), EIniFileException);
  }
  fs::permissions(dir.Path(), fs::perms::owner_all);
  EXPECT_EQ(OutputCount(), 0u);
  EXPECT_FALSE(fs::exists(iniPath));
  EXPECT_TRUE(op.boxes.empty());
}

TEST_F(SerializeCommandsTest, CancelledBurnKeepsFileAndNumberAndShowsNothingMore) {
  profile.EditableSettings().DontBurn = false;
  op.AnswerBox(mrCancel);
  serializer.SerializeOne();
  EXPECT_EQ(BoxTexts(), (Texts{kPrepare}));
  EXPECT_TRUE(fs::exists(Output(100)));
  EXPECT_EQ(StoredNextSeqNum(), 101);
  EXPECT_TRUE(log.Runs().empty());
}

TEST_F(SerializeCommandsTest, FailedBurnKeepsFileAndNumberAndShowsNothingMore) {
  profile.EditableSettings().DontBurn = false;
  {
    ScopedEnv exitCode("VELMORIN_BURNER_EXIT", "1");
    op.AnswerBox(mrOk);
    serializer.SerializeOne();
  }
  profile.EditableSettings().BurnerCmdLine = dir.File("no-burner") + " $image";
  op.AnswerBox(mrOk);
  serializer.SerializeOne();
  EXPECT_EQ(BoxTexts(), (Texts{kPrepare, kPrepare}));
  EXPECT_TRUE(fs::exists(Output(100)));
  EXPECT_TRUE(fs::exists(Output(101)));
  EXPECT_EQ(StoredNextSeqNum(), 102);
  ASSERT_EQ(log.Runs().size(), 1u);
  EXPECT_EQ(log.Runs()[0][1], Output(100));
}

TEST_F(SerializeCommandsTest, SuccessfulImageIsReported) {
  profile.EditableSettings().DontBurn = false;
  op.AnswerBox(mrOk).AnswerBox(mrOk);
  serializer.SerializeOne();
  EXPECT_EQ(BoxTexts(), (Texts{kPrepare, kOneOk}));
  EXPECT_EQ(op.boxes[1].kind, BoxKind::Information);
  EXPECT_EQ(op.boxes[1].buttons, box_button::OK);
  // The file holds the skeleton with the number (MSB first, 2 bytes) at 0x08.
  TIntelImage written;
  written.LoadFromFile(Output(100));
  EXPECT_EQ(written.GetByte(0x07), 0x07);
  EXPECT_EQ(written.GetByte(0x08), 0x00);
  EXPECT_EQ(written.GetByte(0x09), 100);
  EXPECT_EQ(written.GetByte(0x0A), 0x0A);
  ASSERT_EQ(log.Runs().size(), 1u);
  EXPECT_EQ(log.Runs()[0], (Texts{TestBurnerPath(), Output(100)}));
}

TEST_F(SerializeCommandsTest, DontSaveAndDontBurnStillReportAndAdvance) {
  profile.EditableSettings().DontSave = true;
  op.AnswerBox(mrOk);
  serializer.SerializeOne();
  EXPECT_EQ(BoxTexts(), (Texts{kOneOk}));
  EXPECT_EQ(StoredNextSeqNum(), 101);
  EXPECT_EQ(OutputCount(), 0u);

  // Burning without a saved file: every "$image" is removed.
  profile.EditableSettings().DontBurn = false;
  profile.EditableSettings().BurnerCmdLine = TestBurnerPath() + " -p $image -v";
  op.AnswerBox(mrOk).AnswerBox(mrOk);
  serializer.SerializeOne();
  ASSERT_EQ(log.Runs().size(), 1u);
  EXPECT_EQ(log.Runs()[0], (Texts{TestBurnerPath(), "-p", "-v"}));
}

// The batch command.

TEST_F(SerializeCommandsTest, BatchStopsAtTheCancelledBurnWithoutSummary) {
  profile.EditableSettings().DontBurn = false;
  op.AnswerBox(mrOk).AnswerBox(mrOk).AnswerBox(mrCancel);
  const BatchOutcome outcome = serializer.SerializeBatch(5);
  EXPECT_EQ(outcome.Completed, 2);
  EXPECT_FALSE(outcome.Stopped);
  EXPECT_FALSE(outcome.Finished());
  EXPECT_EQ(BoxTexts(), (Texts{kPrepare, kPrepare, kPrepare}));
  EXPECT_EQ(observer.progressMinimum, 0);
  EXPECT_EQ(observer.progressMaximum, 5);
  EXPECT_EQ(observer.progressPositions, (std::vector<int>{1, 2}));
  EXPECT_EQ(observer.progressPosition, 2);
  // Images 1 and 2 burned; image 3 written and its number used.
  EXPECT_EQ(log.Runs().size(), 2u);
  EXPECT_TRUE(fs::exists(Output(102)));
  EXPECT_FALSE(fs::exists(Output(103)));
  EXPECT_EQ(StoredNextSeqNum(), 103);
}

TEST_F(SerializeCommandsTest, BatchCountsThatDoNothing) {
  for (const std::int32_t count : {0, -3, std::numeric_limits<std::int32_t>::min()}) {
    SCOPED_TRACE(count);
    EXPECT_EQ(serializer.SerializeBatch(count).Completed, 0);
  }
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_TRUE(observer.progressPositions.empty());
  EXPECT_EQ(profile.Settings().NextSeqNum, 100);
  EXPECT_EQ(OutputCount(), 0u);
}

TEST_F(SerializeCommandsTest, BatchReportsWhenAllAreDone) {
  op.AnswerBox(mrOk);
  EXPECT_TRUE(serializer.SerializeBatch(10).Finished());
  EXPECT_EQ(BoxTexts(), (Texts{"10 images serialized OK."}));
  EXPECT_EQ(op.boxes[0].kind, BoxKind::Information);
  EXPECT_EQ(observer.progressMaximum, 10);
  EXPECT_EQ(observer.progressPositions, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0}));
  EXPECT_EQ(OutputCount(), 10u);
  EXPECT_TRUE(fs::exists(Output(100)));
  EXPECT_TRUE(fs::exists(Output(109)));
  EXPECT_EQ(StoredNextSeqNum(), 110);
}

// A stop asked for (by the owner's flag, or the serializer's own request)
// ends the batch before its next number is taken: the numbers taken so far
// are done and stored, no more is taken, and there is no summary box.
TEST_F(SerializeCommandsTest, BatchStopsBeforeTheNextNumberWhenAsked) {
  std::atomic<bool> flag{false};
  serializer.SetStopFlag(&flag);
  struct Case {
    const char* name;
    int stopAfter;  // numbers heard before the stop is asked for
    bool byFlag;
  };
  std::int32_t next = 100;
  for (const Case c : {Case{"before the batch", 0, false}, Case{"by the flag", 2, true},
                       Case{"by request", 1, false}}) {
    SCOPED_TRACE(c.name);
    flag = false;
    serializer.ClearStop();
    int heard = 0;
    const auto ask = [&] { c.byFlag ? flag.store(true) : serializer.RequestStop(); };
    if (c.stopAfter == 0) ask();
    serializer.SetSerialObserver([&](const ProductionEntry&) {
      if (++heard == c.stopAfter) ask();
    });
    const BatchOutcome outcome = serializer.SerializeBatch(5);
    EXPECT_TRUE(outcome.Stopped);
    EXPECT_EQ(outcome.Completed, c.stopAfter);
    EXPECT_EQ(heard, c.stopAfter);
    next += c.stopAfter;
    EXPECT_EQ(profile.Settings().NextSeqNum, next);
    EXPECT_EQ(StoredNextSeqNum(100), next);
    serializer.SetSerialObserver({});  // it refers to this round's counters
  }
  // Serialize 1 asked to stop before it begins takes nothing either.
  flag = true;
  EXPECT_FALSE(serializer.SerializeOne());
  EXPECT_EQ(profile.Settings().NextSeqNum, next);
  EXPECT_EQ(StoredNextSeqNum(100), next);
  EXPECT_TRUE(op.boxes.empty());
  // Cleared, the next batch runs to its end.
  flag = false;
  serializer.ClearStop();
  op.AnswerBox(mrOk);
  EXPECT_TRUE(serializer.SerializeBatch(2).Finished());
}

TEST_F(SerializeCommandsTest, BatchWithoutAutoIncRewritesOneFile) {
  profile.EditableSettings().AutoIncSeq = false;
  op.AnswerBox(mrOk);
  serializer.SerializeBatch(3);
  EXPECT_EQ(BoxTexts(), (Texts{"3 images serialized OK."}));
  EXPECT_EQ(OutputCount(), 1u);
  EXPECT_TRUE(fs::exists(Output(100)));
  EXPECT_EQ(profile.Settings().NextSeqNum, 100);
}

TEST_F(SerializeCommandsTest, BatchStopsWhenTheSkeletonDisappears) {
  // The first image's burner deletes the skeleton file.
  struct DeletingRunner : BurnerRunner {
    std::string victim;
    int runs = 0;
    BurnOutcome Run(const std::string&, WindowShow, const BurnContext&) override {
      ++runs;
      fs::remove(victim);
      return {0, true, false};
    }
  } runner;
  runner.victim = skelFile;
  serializer.SetBurnerRunner(runner);
  profile.EditableSettings().DontBurn = false;
  op.AnswerBox(mrOk).AnswerBox(mrOk);
  serializer.SerializeBatch(4);
  EXPECT_EQ(BoxTexts(), (Texts{kPrepare, kNotFound}));
  EXPECT_EQ(runner.runs, 1);
  EXPECT_EQ(observer.progressPositions, (std::vector<int>{1}));
  EXPECT_EQ(OutputCount(), 1u);
  EXPECT_EQ(StoredNextSeqNum(), 101);
}

TEST_F(SerializeCommandsTest, BatchErrorEndsTheBatchWithImagesBeforeItComplete) {
  struct BreakingRunner : BurnerRunner {
    std::string skelFile;
    BurnOutcome Run(const std::string&, WindowShow, const BurnContext&) override {
      test::WriteFileBytes(skelFile, "not hex\r\n");
      return {0, true, false};
    }
  } runner;
  runner.skelFile = skelFile;
  serializer.SetBurnerRunner(runner);
  profile.EditableSettings().DontBurn = false;
  op.AnswerBox(mrOk);
  EXPECT_THROW(serializer.SerializeBatch(3), EIntelImageError);
  EXPECT_EQ(observer.progressPositions, (std::vector<int>{1}));
  EXPECT_EQ(OutputCount(), 1u);
  EXPECT_EQ(StoredNextSeqNum(), 101);
}

// The runner learns which image of the batch it burns and with which number,
// and what it reports back decides the image: an Abort is a failed burn even
// when the burner's own exit code was 0.
TEST_F(SerializeCommandsTest, RunnerLearnsTheImageAndItsOutcomeDecides) {
  struct RecordingRunner : BurnerRunner {
    std::vector<BurnContext> contexts;
    BurnOutcome outcome{0, true, false};
    BurnOutcome Run(const std::string&, WindowShow, const BurnContext& context) override {
      contexts.push_back(context);
      return outcome;
    }
  } runner;
  serializer.SetBurnerRunner(runner);
  profile.EditableSettings().DontBurn = false;
  op.AnswerBox(mrOk).AnswerBox(mrOk).AnswerBox(mrOk).AnswerBox(mrOk);
  serializer.SerializeBatch(3);
  op.AnswerBox(mrOk).AnswerBox(mrOk);
  serializer.SerializeOne();
  EXPECT_EQ(runner.contexts,
            (std::vector<BurnContext>{{1, 3, 100}, {2, 3, 101}, {3, 3, 102}, {1, 0, 103}}));

  for (const BurnOutcome outcome :
       {BurnOutcome{0, true, true}, BurnOutcome{kExecFailed, false, false}}) {
    runner.outcome = outcome;
    op.AnswerBox(mrOk);
    EXPECT_FALSE(serializer.SerializeImage());
    EXPECT_EQ(serializer.LastBurn().Aborted, outcome.Aborted);
    EXPECT_EQ(serializer.LastBurn().Started, outcome.Started);
  }
}

}  // namespace
}  // namespace velmorin
