// Reads any file through the INI layer, writes one key and reads it back.
//
// Input: a first line "section<TAB>key<TAB>value" naming the write (an empty
// section picks the first section of the file), then the file's bytes. The
// file lives in a folder of our own on a memory filesystem, made once per
// process. Properties:
// - reading never fails, and lists every section name once;
// - a write the layer accepts reads back exactly (cut at 2047 bytes) and
//   keeps every section the file listed, in its order;
// - only a name or value the file format can't hold is refused, and then the
//   file stays byte for byte as it was.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exceptions.h"
#include "fuzz/FuzzCheck.h"
#include "platform/ini/IniFile.h"

namespace {

namespace fs = std::filesystem;

struct Scratch {
  fs::path folder;
  std::string file;

  Scratch() {
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    folder = base / ("velmorin-inifuzz-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    file = (folder / "velmorin.ini").string();
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
};

const Scratch& TheScratch() {
  static const Scratch scratch;
  return scratch;
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != text.npos;
}

// A key the format can hold: one that a "key=value" line reads back as itself.
bool KeyFits(std::string_view key) {
  if (key.empty() || HasLineBreak(key) || key.find('=') != key.npos) return false;
  const char first = key.front();
  const char last = key.back();
  return first != ' ' && first != '\t' && last != ' ' && last != '\t' && first != ';' &&
         first != '[';
}

std::vector<std::string_view> SplitTabs(std::string_view line, std::size_t parts) {
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < parts) {
    const std::size_t tab = line.find('\t');
    if (tab == line.npos) break;
    fields.push_back(line.substr(0, tab));
    line.remove_prefix(tab + 1);
  }
  fields.push_back(line);
  fields.resize(parts);
  return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t lf = input.find('\n');
  const std::string_view header = lf == input.npos ? input : input.substr(0, lf);
  const std::string_view fileText = lf == input.npos ? std::string_view() : input.substr(lf + 1);
  const auto fields = SplitTabs(header, 3);

  const std::string& path = TheScratch().file;
  WriteBytes(path, fileText);
  velmorin::IniFile ini(path);

  const std::vector<std::string> before = ini.ReadSections();
  for (std::size_t i = 0; i < before.size(); ++i) {
    FUZZ_CHECK(!before[i].empty());
    for (std::size_t j = 0; j < i; ++j)
      FUZZ_CHECK(!velmorin::IniFile::SameName(before[i], before[j]));
  }

  std::string section(fields[0]);
  if (section.empty() && !before.empty()) section = before.front();
  const std::string key = fields[1].empty() ? std::string("NextSeqNum") : std::string(fields[1]);
  const std::string value(fields[2]);
  // Reading a key never fails, whatever the file holds.
  static_cast<void>(ini.ReadString(section, key,
                                   "\x01"
                                   "absent"));

  const bool fits = !HasLineBreak(section) && KeyFits(key) && !HasLineBreak(value);
  try {
    ini.WriteString(section, key, value);
  } catch (const velmorin::EIniFileException& e) {
    FUZZ_CHECK(!fits);
    FUZZ_CHECK(e.Message() == "Unable to write to " + ini.FileName());
    FUZZ_CHECK(ReadBytes(path) == fileText);
    return 0;
  }
  FUZZ_CHECK(fits);

  const std::string reread = ini.ReadString(section, key,
                                            "\x01"
                                            "absent");
  if (value.size() <= velmorin::IniFile::kMaxValueLength) {
    FUZZ_CHECK(reread == value);
  } else {
    FUZZ_CHECK(value.starts_with(reread));
    FUZZ_CHECK(reread.size() + 4 > velmorin::IniFile::kMaxValueLength);
  }

  // The sections listed before stay, in order; the written one is listed
  // unless the listing buffer is full or it has no name.
  const std::vector<std::string> after = ini.ReadSections();
  FUZZ_CHECK(after.size() >= before.size());
  for (std::size_t i = 0; i < before.size(); ++i) FUZZ_CHECK(after[i] == before[i]);
  bool listed = section.empty();
  for (const std::string& name : after)
    listed = listed || velmorin::IniFile::SameName(name, section);
  std::size_t used = 1;
  for (const std::string& name : after) used += name.size() + 1;
  FUZZ_CHECK(listed || used + section.size() + 1 > velmorin::IniFile::kSectionBufferSize);

  // A second write of the same value changes nothing.
  const std::string written = ReadBytes(path);
  ini.WriteString(section, key, value);
  FUZZ_CHECK(ReadBytes(path) == written);
  return 0;
}
