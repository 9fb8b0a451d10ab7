// The checksum regions on the session's road, over a real INI file, skeleton
// and output folder: a skeleton whose build wrote an inner and an outer
// checksum is stamped, and every image carries right ones (held against
// Python's zlib and binascii over the output files, and a bit-by-bit CRC);
// a skeleton whose checksum disagrees, or a slot moved over a result, is
// refused before a number is taken; add and set refuse what a load would;
// and a profile without the keys makes the same files as before.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "image/ImageChecksum.h"
#include "image/IntelImage.h"
#include "platform/ini/IniFile.h"
#include "profiles/ProfileKeys.h"
#include "serialize/AnswerOperator.h"
#include "serialize/ChecksumStamping.h"
#include "serialize/SeqNumForm.h"
#include "serialize/Session.h"
#include "tests/image/ChecksumTestSupport.h"
#include "tests/support/HexRecords.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Region 1, the inner: CRC-16/IBM-3740 over 0x0100-0x01FF, stored msb first
// at 0x0200. Region 2, the outer: CRC-32 over 0x0000-0x7FFB, stored lsb
// first at 0x7FFC, over region 1's result and both serial slots.
const std::vector<std::string> kRegionKeys{"ChecksumKind1=crc16-ccitt-false",
                                           "ChecksumFrom1=0x100",
                                           "ChecksumTo1=0x1FF",
                                           "ChecksumAt1=0x200",
                                           "ChecksumByteOrder1=msb",
                                           "ChecksumKind2=CRC32",
                                           "ChecksumFrom2=0",
                                           "ChecksumTo2=0x7FFB",
                                           "ChecksumAt2=0x7FFC"};

std::uint32_t Inner(const Bytes& b) {
  return test::BitwiseCrc(*ChecksumKindInfoOf(ChecksumKind::Crc16CcittFalse).Crc,
                          Bytes(b.begin() + 0x100, b.begin() + 0x200));
}
std::uint32_t Outer(const Bytes& b) {
  return test::BitwiseCrc(*ChecksumKindInfoOf(ChecksumKind::Crc32).Crc,
                          Bytes(b.begin(), b.begin() + 0x7FFC));
}

// 32 KiB of firmware whose build wrote both checksums, the inner first.
Bytes Firmware() {
  Bytes bytes = test::RandomBytes(0x8000, 7);
  const std::uint32_t inner = Inner(bytes);
  bytes[0x200] = static_cast<std::uint8_t>(inner >> 8);
  bytes[0x201] = static_cast<std::uint8_t>(inner);
  const std::uint32_t outer = Outer(bytes);
  for (std::size_t i = 0; i < 4; ++i)
    bytes[0x7FFC + i] = static_cast<std::uint8_t>(outer >> (8 * i));
  return bytes;
}

class ChecksumSerializeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(outputs);
    IniFile(iniPath).WriteString("Options", "ProductionLog", record);
    test::WriteFileBytes(skeleton, test::HexImage(Firmware()));
  }

  // The profile through the session's add, as `velmorin-cli add` makes it:
  // serial numbers from 100, 4 bytes lsb first in slot 1 (inside both ranges)
  // and slot 2 (inside the outer), with `more`.
  void AddProfile(const std::vector<std::string>& more) {
    std::vector<std::string> assignments{
        "NextSeqNum=100",         "SeqNumSize=4",    "ByteOrder=1",
        "SeqNumOfs1=0x150",       "SetSeqNumOfs2=1", "SeqNumOfs2=0x4000",
        "OutputFolder=" + outputs};
    assignments.insert(assignments.end(), more.begin(), more.end());
    Session session(IniLocation{iniPath, false}, op);
    session.Open(Session::Start::Nothing);
    session.AddProfile(skeleton, assignments);
  }

  std::vector<std::string> Outputs() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(outputs)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string RecordText() const {
    return fs::exists(record) ? test::ReadFileBytes(record) : std::string();
  }

  test::TempDir dir;
  std::string iniPath = dir.File("velmorin.ini");
  std::string skeleton = dir.File("board.hex");
  std::string outputs = dir.File("out");
  std::string record = dir.File("record.csv");
  AnswerOperator op;
};

TEST_F(ChecksumSerializeTest, EveryImageOfABatchCarriesRightChecksums) {
  AddProfile(kRegionKeys);
  Session session(IniLocation{iniPath, false}, op);
  session.Open(Session::Start::Nothing);
  ASSERT_TRUE(session.LoadProfile(skeleton));
  ASSERT_TRUE(session.SerializeBatch(20).Finished());
  ASSERT_EQ(Outputs().size(), 20u);

  std::string files;
  for (std::int32_t serial = 100; serial < 120; ++serial) {
    const std::string file = outputs + "/board_" + std::to_string(serial) + ".hex";
    files += " " + file;
    TIntelImage image;
    image.LoadFromFile(file);
    // What the skeleton held, its two serial slots and its two results: no fill.
    ASSERT_EQ(image.Segments.size(), 1u);
    Bytes bytes = image.Segments[0].Data;
    ASSERT_EQ(bytes.size(), 0x8000u);
    EXPECT_EQ(ChecksumFromBytes(Bytes(bytes.begin() + 0x150, bytes.begin() + 0x154), false),
              static_cast<std::uint32_t>(serial));
    EXPECT_EQ(ChecksumFromBytes(Bytes(bytes.begin() + 0x4000, bytes.begin() + 0x4004), false),
              static_cast<std::uint32_t>(serial));
    EXPECT_EQ(ChecksumFromBytes(Bytes(bytes.begin() + 0x200, bytes.begin() + 0x202), true),
              Inner(bytes))
        << serial;
    EXPECT_EQ(ChecksumFromBytes(Bytes(bytes.begin() + 0x7FFC, bytes.end()), false), Outer(bytes))
        << serial;
  }
#ifndef _WIN32  // Python and its intelhex are Debian's, run through a POSIX shell
  // Python reads the files on its own and computes both checksums with its own CRCs.
  if (std::system("command -v /usr/bin/python3 >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "python3 is not installed here (scripts/setup installs it)";
  }
  const std::string script = dir.File("check.py");
  test::WriteFileBytes(script,
                       "import sys, zlib, binascii\n"
                       "from intelhex import IntelHex\n"
                       "for name in sys.argv[1:]:\n"
                       "    ih = IntelHex(name)\n"
                       "    d = ih.tobinstr(start=0, end=0x7FFF)\n"
                       "    inner = binascii.crc_hqx(d[0x100:0x200], 0xFFFF)\n"
                       "    outer = zlib.crc32(d[0:0x7FFC])\n"
                       "    ok = inner == int.from_bytes(d[0x200:0x202], 'big') and \\\n"
                       "         outer == int.from_bytes(d[0x7FFC:0x8000], 'little')\n"
                       "    print('ok' if ok else 'wrong ' + name)\n");
  const std::string verdict = dir.File("verdict.txt");
  ASSERT_EQ(std::system(("/usr/bin/python3 " + script + files + " >" + verdict).c_str()), 0);
  std::string expected;
  for (int i = 0; i < 20; ++i) expected += "ok\n";
  EXPECT_EQ(test::ReadFileBytes(verdict), expected);
#endif
}

TEST_F(ChecksumSerializeTest, ASkeletonThatDisagreesIsRefusedBeforeTheNumberIsTaken) {
  AddProfile(kRegionKeys);
  // A build that changed a byte of the outer range after its checksum.
  Bytes spoiled = Firmware();
  spoiled[0x6000] ^= 0x01;
  test::WriteFileBytes(skeleton, test::HexImage(spoiled));
  const std::string iniBefore = test::ReadFileBytes(iniPath);

  Session session(IniLocation{iniPath, false}, op);
  session.Open(Session::Start::Nothing);
  ASSERT_TRUE(session.LoadProfile(skeleton));
  try {
    session.SerializeBatch(3);
    ADD_FAILURE() << "the skeleton was taken";
  } catch (const EChecksumMismatch& error) {
    EXPECT_EQ(error.Message(),
              "The skeleton's checksum 2 at 0x7FFC reads " +
                  ChecksumValueText(
                      ChecksumFromBytes(Bytes(spoiled.begin() + 0x7FFC, spoiled.end()), false), 4) +
                  ", but crc32 over 0x0000-0x7FFB gives " + ChecksumValueText(Outer(spoiled), 4) +
                  ".");
  }
  EXPECT_TRUE(Outputs().empty());
  EXPECT_EQ(session.Profile().NextSeqNum(), 100);
  EXPECT_EQ(test::ReadFileBytes(iniPath), iniBefore);
  EXPECT_EQ(RecordText(), "");

  // A place left blank for the programmer is not compared: the image is made.
  for (std::size_t i = 0; i < 4; ++i) spoiled[0x7FFC + i] = 0xFF;
  test::WriteFileBytes(skeleton, test::HexImage(spoiled));
  EXPECT_TRUE(session.SerializeOne());
  TIntelImage image;
  image.LoadFromFile(outputs + "/board_100.hex");
  const Bytes& made = image.Segments[0].Data;
  EXPECT_EQ(ChecksumFromBytes(Bytes(made.begin() + 0x7FFC, made.end()), false), Outer(made));
}

TEST_F(ChecksumSerializeTest, ASlotMovedOverAResultIsRefusedBeforeTheNumberIsTaken) {
  AddProfile(kRegionKeys);
  Session session(IniLocation{iniPath, false}, op);
  session.Open(Session::Start::Nothing);
  ASSERT_TRUE(session.LoadProfile(skeleton));
  // As the window hands over an edit of slot 2's address.
  session.Profile().EditableSettings().SeqNumOfs[1] = 0x7FFE;
  const std::string iniBefore = test::ReadFileBytes(iniPath);
  try {
    session.SerializeOne();
    ADD_FAILURE() << "the slot was taken";
  } catch (const EProfileValueError& error) {
    EXPECT_EQ(error.Message(),
              "The 4-byte result at ChecksumAt2 0x7FFC lies over serial slot 2 (SeqNumOfs2 "
              "0x7FFE, 4 bytes)");
  }
  EXPECT_TRUE(Outputs().empty());
  EXPECT_EQ(session.Profile().NextSeqNum(), 100);
  EXPECT_EQ(test::ReadFileBytes(iniPath), iniBefore);
  EXPECT_EQ(RecordText(), "");
}

TEST_F(ChecksumSerializeTest, AddAndSetRefuseWhatALoadWouldAndChangeNothing) {
  // A region without its place, added.
  Session session(IniLocation{iniPath, false}, op);
  session.Open(Session::Start::Nothing);
  EXPECT_THROW(
      session.AddProfile(skeleton, {"ChecksumKind1=crc8", "ChecksumFrom1=0", "ChecksumTo1=7"}),
      EProfileValueError);
  EXPECT_TRUE(session.ProfileNames().empty());
  session.Close();

  AddProfile(kRegionKeys);
  session.Open(Session::Start::Nothing);
  const std::string before = test::ReadFileBytes(iniPath);
  struct Case {
    std::vector<std::string> assignments;
    std::string message;
  };
  const Case cases[] = {
      // A slot moved over a stored result: the stored regions count.
      {{"SeqNumOfs1=0x201"},
       "The 2-byte result at ChecksumAt1 0x0200 lies over serial slot 1 (SeqNumOfs1 0x0201, 4 "
       "bytes)"},
      // Wider slots reach it too.
      {{"SeqNumOfs1=0x1FE"},
       "The 2-byte result at ChecksumAt1 0x0200 lies over serial slot 1 (SeqNumOfs1 0x01FE, 4 "
       "bytes)"},
      {{"ChecksumAt2=0x7FF8"},
       "The 4-byte result at ChecksumAt2 0x7FF8 lies inside its own range "
       "ChecksumFrom2-ChecksumTo2 0x0000-0x7FFB"},
      {{"ChecksumKind3=crc33"},
       "Value \"crc33\" for ChecksumKind3 is no checksum kind; the kinds are " +
           ChecksumKindNames()},
      {{"ChecksumTo1=0xFF"},
       "ChecksumTo1 0x00FF lies below ChecksumFrom1 0x0100: the range ends before it starts"},
  };
  for (const Case& c : cases) {
    try {
      session.SetValues(skeleton, c.assignments);
      ADD_FAILURE() << c.assignments[0] << " was taken";
    } catch (const EProfileValueError& error) {
      EXPECT_EQ(error.Message(), c.message);
    }
    EXPECT_EQ(test::ReadFileBytes(iniPath), before) << c.assignments[0];
  }
  // A change that keeps them sound is taken, and only its key is written.
  session.SetValues(skeleton, {"ChecksumFill2=0x00", "SeqNumOfs2=0x5000"});
  const StoredProfile stored = session.ShowProfile(skeleton);
  EXPECT_EQ(stored.Optional.Get<ChecksumRegions>().Keys[1].Fill, 0x00);
  EXPECT_EQ(stored.Settings.SeqNumOfs[1], 0x5000);
}

// Without the keys, or with an empty kind, the road makes what the plain
// stamping makes and the INI file changes in Next SN alone.
TEST_F(ChecksumSerializeTest, WithoutARegionTheFilesAreAsBefore) {
  for (const std::vector<std::string>& keys :
       {std::vector<std::string>{}, std::vector<std::string>{"ChecksumKind1=", "ChecksumAt1=5"}}) {
    fs::remove(iniPath);
    fs::remove_all(outputs);
    fs::create_directory(outputs);
    AddProfile(keys);
    const std::string iniBefore = test::ReadFileBytes(iniPath);
    {
      Session session(IniLocation{iniPath, false}, op);
      session.Open(Session::Start::Nothing);
      ASSERT_TRUE(session.LoadProfile(skeleton));
      ASSERT_TRUE(session.SerializeOne());
    }
    std::string expectedIni = iniBefore;
    const std::string next = "NextSeqNum=100\r\n";
    ASSERT_NE(expectedIni.find(next), std::string::npos);
    expectedIni.replace(expectedIni.find(next), next.size(), "NextSeqNum=101\r\n");
    EXPECT_EQ(test::ReadFileBytes(iniPath), expectedIni);

    TIntelImage plain;
    plain.LoadFromFile(skeleton);
    for (const std::uint32_t at : {0x150u, 0x4000u}) {
      StampSeqNumForm(plain, 100, SeqNumFormat::Binary, 4, at, true);
    }
    const std::string plainFile = dir.File("plain.hex");
    plain.SaveToFile(plainFile);
    EXPECT_EQ(test::ReadFileBytes(outputs + "/board_100.hex"), test::ReadFileBytes(plainFile));
  }
}

}  // namespace
}  // namespace velmorin
