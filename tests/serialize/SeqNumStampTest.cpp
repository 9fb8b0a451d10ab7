#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "serialize/SeqNumForm.h"
#include "serialize/SeqNumStamp.h"
#include "tests/serialize/SerializerFixture.h"

namespace velmorin {
namespace {

using Calls = std::vector<std::pair<std::uint32_t, std::uint8_t>>;

// An image that records every SetByte call, in order, before storing it.
class RecordingImage : public TObjImage {
 public:
  RecordingImage() {
    // Bytes at both ends of the address space, so wrapping writes stay small.
    Segments.push_back({0x00000000, std::vector<std::uint8_t>(0x400, 0xEE)});
    Segments.push_back({0xFFFFFF00, std::vector<std::uint8_t>(0x100, 0xEE)});
  }
  void SetByte(std::uint32_t address, std::uint32_t value) override {
    calls.emplace_back(address, static_cast<std::uint8_t>(value));
    TObjImage::SetByte(address, value);
  }
  void LoadFromFile(const std::string&) override {}
  void SaveToFile(const std::string&) override {}

  std::vector<std::uint8_t> Bytes(std::uint32_t address, std::uint32_t count) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t i = 0; i < count; ++i) bytes.push_back(GetByte(address + i));
    return bytes;
  }

  Calls calls;
};

TEST(StampSerialBytes, WritesThePatternInTheOrderOfItsByteOrder) {
  const struct {
    std::int32_t seqNum;
    std::int32_t width;
    bool lsbFirst;
    std::uint32_t address;
    Calls calls;  // every SetByte, in order
  } cases[] = {
      // 74565 = 0x00012345 at 0x100.
      {74565, 2, false, 0x100, {{0x101, 0x45}, {0x100, 0x23}}},
      {74565, 2, true, 0x100, {{0x100, 0x45}, {0x101, 0x23}}},
      {74565, 4, false, 0x100, {{0x103, 0x45}, {0x102, 0x23}, {0x101, 0x01}, {0x100, 0x00}}},
      {74565,
       6,
       true,
       0x100,
       {{0x100, 0x45}, {0x101, 0x23}, {0x102, 0x01}, {0x103, 0x00}, {0x104, 0x00}, {0x105, 0x00}}},
      {74565, 1, false, 0x100, {{0x100, 0x45}}},
      // Negative numbers: no sign extension beyond the fourth byte.
      {-2,
       6,
       false,
       0x100,
       {{0x105, 0xFE}, {0x104, 0xFF}, {0x103, 0xFF}, {0x102, 0xFF}, {0x101, 0x00}, {0x100, 0x00}}},
      {-1,
       6,
       true,
       0x10,
       {{0x10, 0xFF}, {0x11, 0xFF}, {0x12, 0xFF}, {0x13, 0xFF}, {0x14, 0x00}, {0x15, 0x00}}},
      {INT32_MIN, 4, true, 0x0, {{0x0, 0x00}, {0x1, 0x00}, {0x2, 0x00}, {0x3, 0x80}}},
      // Widths of 0 and below write nothing.
      {74565, 0, false, 0x100, {}},
      {74565, -1, true, 0x100, {}},
      {74565, INT32_MIN, false, 0x100, {}},
      // Addresses wrap past 0xFFFFFFFF.
      {0x11223344,
       4,
       true,
       0xFFFFFFFE,
       {{0xFFFFFFFE, 0x44}, {0xFFFFFFFF, 0x33}, {0x0, 0x22}, {0x1, 0x11}}},
      {0x11223344,
       4,
       false,
       0xFFFFFFFE,
       {{0x1, 0x44}, {0x0, 0x33}, {0xFFFFFFFF, 0x22}, {0xFFFFFFFE, 0x11}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.seqNum << " width " << c.width << (c.lsbFirst ? " LSB" : " MSB"));
    RecordingImage image;
    StampSerialBytes(image, c.seqNum, c.width, c.address, c.lsbFirst);
    EXPECT_EQ(image.calls, c.calls);
    for (const auto& [address, value] : c.calls) EXPECT_EQ(image.GetByte(address), value);
  }
}

TEST(StampSerialBytes, RefusesWidthsAboveTheCapBeforeWritingAnything) {
  RecordingImage image;
  StampSerialBytes(image, 7, kMaxSeqNumSize, 0x0, true);
  EXPECT_EQ(image.calls.size(), static_cast<std::size_t>(kMaxSeqNumSize));
  EXPECT_EQ(image.GetByte(0), 7);
  EXPECT_EQ(image.GetByte(kMaxSeqNumSize - 1), 0);

  for (const std::int32_t width : {kMaxSeqNumSize + 1, 0x7FFFFFFF}) {
    RecordingImage untouched;
    try {
      StampSerialBytes(untouched, 7, width, 0x0, false);
      ADD_FAILURE() << "no error for width " << width;
    } catch (const ESeqNumSizeError& e) {
      EXPECT_EQ(e.Message(), width == 0x7FFFFFFF ? "SN Size 7FFFFFFF is too large (at most 10000)"
                                                 : "SN Size 10001 is too large (at most 10000)");
    }
    EXPECT_TRUE(untouched.calls.empty());
  }
}

TEST(StampSeqNumForm, WritesEachFormInItsOrderFromTheSlotsAddress) {
  const struct {
    SeqNumFormat format;
    std::int32_t seqNum;
    std::int32_t size;
    bool lsbFirst;
    std::uint32_t address;
    Calls calls;  // every SetByte, in order
  } cases[] = {
      // BCD arrives as binary does: the least significant byte first.
      {SeqNumFormat::Bcd, 1234, 3, false, 0x100, {{0x102, 0x34}, {0x101, 0x12}, {0x100, 0x00}}},
      {SeqNumFormat::Bcd, 1234, 3, true, 0x100, {{0x100, 0x34}, {0x101, 0x12}, {0x102, 0x00}}},
      // Text from its first character up, whatever the byte order.
      {SeqNumFormat::Ascii, 42, 3, false, 0x10, {{0x10, '0'}, {0x11, '4'}, {0x12, '2'}}},
      {SeqNumFormat::AsciiHex,
       0xBEEF,
       4,
       true,
       0x10,
       {{0x10, 'B'}, {0x11, 'E'}, {0x12, 'E'}, {0x13, 'F'}}},
      {SeqNumFormat::Utf16, 7, 2, false, 0x10, {{0x10, '0'}, {0x11, 0}, {0x12, '7'}, {0x13, 0}}},
      // Addresses wrap past 0xFFFFFFFF for every form.
      {SeqNumFormat::Utf16, 9, 1, true, 0xFFFFFFFF, {{0xFFFFFFFF, '9'}, {0x0, 0}}},
      {SeqNumFormat::Bcd, 99, 2, false, 0xFFFFFFFF, {{0x0, 0x99}, {0xFFFFFFFF, 0x00}}},
      // Binary is the plain stamping, order and all.
      {SeqNumFormat::Binary, 0x0102, 2, false, 0x100, {{0x101, 0x02}, {0x100, 0x01}}},
      {SeqNumFormat::Ascii, 42, 0, false, 0x10, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << SeqNumFormatName(c.format) << " " << c.seqNum);
    RecordingImage image;
    StampSeqNumForm(image, c.seqNum, c.format, c.size, c.address, c.lsbFirst);
    EXPECT_EQ(image.calls, c.calls);
  }
  RecordingImage untouched;
  EXPECT_THROW(StampSeqNumForm(untouched, 1, SeqNumFormat::Utf16, kMaxSeqNumSize + 1, 0, false),
               ESeqNumSizeError);
  EXPECT_TRUE(untouched.calls.empty());
}

using test::SerializerTest;

class StampSeqNumTest : public SerializerTest {};

TEST_F(StampSeqNumTest, SlotsFollowTheirSwitchesInOrderOneToFour) {
  profile.EditableSettings().SeqNumSize = 4;
  profile.EditableSettings().ByteOrder = SerialByteOrder::LsbFirst;  // LSB first
  profile.EditableSettings().SetSeqNumOfs = {true, false, true, true};
  // Slot 2 is off though it has an address; slots 3 and 4 overlap slot 1.
  profile.EditableSettings().SeqNumOfs = {0x100, 0x200, 0x102, 0x0FE};
  RecordingImage image;
  for (int slot = 0; slot <= 5; ++slot) serializer.StampSeqNum(image, 0x44332211, slot);

  const Calls expected = {
      {0x100, 0x11}, {0x101, 0x22}, {0x102, 0x33}, {0x103, 0x44},  // slot 1
      {0x102, 0x11}, {0x103, 0x22}, {0x104, 0x33}, {0x105, 0x44},  // slot 3
      {0x0FE, 0x11}, {0x0FF, 0x22}, {0x100, 0x33}, {0x101, 0x44},  // slot 4
  };
  EXPECT_EQ(image.calls, expected);
  // Where slots overlap, the later slot's bytes remain.
  EXPECT_EQ(image.Bytes(0xFE, 8),
            (std::vector<std::uint8_t>{0x11, 0x22, 0x33, 0x44, 0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(image.GetByte(0x200), 0xEE);
}

TEST_F(StampSeqNumTest, ByteOrderOtherThanLsbFirstMeansMsbFirst) {
  profile.EditableSettings().SeqNumSize = 2;
  profile.EditableSettings().SeqNumOfs[0] = 0x10;
  for (const SerialByteOrder byteOrder : {SerialByteOrder::MsbFirst, SerialByteOrder::Unchosen}) {
    SCOPED_TRACE(static_cast<int>(byteOrder));
    profile.EditableSettings().ByteOrder = byteOrder;
    RecordingImage image;
    serializer.StampSeqNum(image, 0x1234, 1);
    EXPECT_EQ(image.calls, (Calls{{0x11, 0x34}, {0x10, 0x12}}));
  }
}

TEST_F(StampSeqNumTest, SlotAddressesAreUnsigned) {
  profile.EditableSettings().SeqNumSize = 2;
  profile.EditableSettings().ByteOrder = SerialByteOrder::LsbFirst;
  profile.EditableSettings().SeqNumOfs[0] = -2;  // 0xFFFFFFFE as the window holds it
  RecordingImage image;
  serializer.StampSeqNum(image, 0xBEEF, 1);
  EXPECT_EQ(image.calls, (Calls{{0xFFFFFFFE, 0xEF}, {0xFFFFFFFF, 0xBE}}));
}

class TakeSeqNumTest : public SerializerTest {};

TEST_F(TakeSeqNumTest, AdvancesAndStoresUnderAutoInc) {
  profile.EditSkeletonText(dir.File("board.hex"));
  profile.EditableSettings().NextSeqNum = 41;
  profile.EditableSettings().SeqNumSize = 3;
  EXPECT_EQ(serializer.TakeSeqNum(), 41);
  EXPECT_EQ(profile.Settings().NextSeqNum, 42);
  EXPECT_EQ(StoredNextSeqNum(), 42);
  // The whole profile is stored, not only the number.
  EXPECT_EQ(IniFile(iniPath).ReadInteger(profile.SkeletonText(), "SeqNumSize", -1), 3);
  EXPECT_EQ(store.ProfileName(), profile.SkeletonText());
}

TEST_F(TakeSeqNumTest, WrapsAt32Bits) {
  profile.EditSkeletonText(dir.File("board.hex"));
  // Four bytes hold every 32-bit number, so none is refused as too wide.
  profile.EditableSettings().SeqNumSize = 4;
  profile.EditableSettings().NextSeqNum = INT32_MAX;
  EXPECT_EQ(serializer.TakeSeqNum(), INT32_MAX);
  EXPECT_EQ(profile.Settings().NextSeqNum, INT32_MIN);
  EXPECT_EQ(StoredNextSeqNum(), INT32_MIN);
  EXPECT_EQ(serializer.TakeSeqNum(), INT32_MIN);
  EXPECT_EQ(profile.Settings().NextSeqNum, INT32_MIN + 1);
  profile.EditableSettings().NextSeqNum = -1;
  EXPECT_EQ(serializer.TakeSeqNum(), -1);
  EXPECT_EQ(profile.Settings().NextSeqNum, 0);
}

TEST_F(TakeSeqNumTest, WithoutAutoIncTheNumberStaysAndNothingIsStored) {
  profile.EditSkeletonText(dir.File("board.hex"));
  profile.EditableSettings().AutoIncSeq = false;
  profile.EditableSettings().NextSeqNum = 7;
  EXPECT_EQ(serializer.TakeSeqNum(), 7);
  EXPECT_EQ(serializer.TakeSeqNum(), 7);
  EXPECT_EQ(profile.Settings().NextSeqNum, 7);
  EXPECT_FALSE(std::filesystem::exists(iniPath));
}

TEST_F(TakeSeqNumTest, ForgetChangesAdvancesOnlyTheWindow) {
  profile.EditSkeletonText(dir.File("board.hex"));
  profile.EditableSettings().NextSeqNum = 5;
  EXPECT_EQ(serializer.TakeSeqNum(), 5);  // stored: 6
  profile.EditForgetChanges(true);
  EXPECT_EQ(serializer.TakeSeqNum(), 6);
  EXPECT_EQ(serializer.TakeSeqNum(), 7);
  EXPECT_EQ(profile.Settings().NextSeqNum, 8);
  EXPECT_EQ(StoredNextSeqNum(), 6);
}

}  // namespace
}  // namespace velmorin
