#include "tests/serialize/SerializerFixture.h"

#include <cstdio>
#include <filesystem>

namespace velmorin::test {

std::string HexRecord(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
  unsigned sum = static_cast<unsigned>(bytes.size()) + (address >> 8) + (address & 0xFF);
  char text[16];
  std::snprintf(text, sizeof text, ":%02X%04X00", static_cast<unsigned>(bytes.size()),
                static_cast<unsigned>(address));
  std::string line = text;
  for (const std::uint8_t b : bytes) {
    std::snprintf(text, sizeof text, "%02X", b);
    line += text;
    sum += b;
  }
  std::snprintf(text, sizeof text, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
  return line + text;
}

std::vector<std::uint8_t> Ramp(std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  return bytes;
}

SerializerTest::SerializerTest()
    : iniPath(dir.File("velmorin.ini")),
      store(iniPath, profile, [this] { return message::AskToSaveChanges(op); }),
      serializer(profile, store, op) {
  // A profile that saves into the test's folder and burns nothing.
  profile.EditableSettings().OutputFolder = dir.Path().string();
  profile.SetObserver(&observer);
  serializer.SetProgressObserver(&observer);
}

std::string SerializerTest::UseSkeleton(const std::string& name,
                                        const std::vector<std::uint8_t>& bytes) {
  std::string hex;
  for (std::size_t at = 0; at < bytes.size(); at += 16) {
    const std::size_t end = std::min(bytes.size(), at + 16);
    hex += HexRecord(static_cast<std::uint16_t>(at),
                     std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                               bytes.begin() + static_cast<std::ptrdiff_t>(end)));
  }
  hex += kHexEnd;
  const std::string path = dir.File(name);
  WriteFileBytes(path, hex);
  profile.EditSkeletonText(path);
  return path;
}

std::string SerializerTest::UseOutputFolder(const std::string& name) {
  const std::string folder = dir.File(name);
  std::filesystem::create_directories(folder);
  profile.EditableSettings().OutputFolder = folder;
  return folder;
}

std::int32_t SerializerTest::StoredNextSeqNum(std::int32_t absent) const {
  return IniFile(iniPath).ReadInteger(profile.SkeletonText(), "NextSeqNum", absent);
}

std::vector<std::string> SerializerTest::BoxTexts() const {
  std::vector<std::string> texts;
  for (const auto& box : op.boxes) texts.push_back(box.text);
  return texts;
}

}  // namespace velmorin::test
