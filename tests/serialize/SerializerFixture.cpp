#include "tests/serialize/SerializerFixture.h"

#include <cstdio>
#include <filesystem>

namespace velmorin::test {

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
  const std::string path = dir.File(name);
  WriteFileBytes(path, HexImage(bytes));
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
