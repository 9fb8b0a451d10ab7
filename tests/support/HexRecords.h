// Intel HEX records for the tests, built independently of the code under
// test (so a wrong checksum rule can't agree with itself): one builder for
// every suite.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace velmorin::test {

// One Intel HEX record line (without line end) with a correct checksum.
inline std::string Record(std::uint8_t type, std::uint16_t address,
                          const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> fields{static_cast<std::uint8_t>(data.size()),
                                   static_cast<std::uint8_t>(address >> 8),
                                   static_cast<std::uint8_t>(address), type};
  fields.insert(fields.end(), data.begin(), data.end());
  unsigned sum = 0;
  std::string line = ":";
  char pair[3];
  for (const std::uint8_t b : fields) {
    std::snprintf(pair, sizeof pair, "%02X", b);
    line += pair;
    sum += b;
  }
  std::snprintf(pair, sizeof pair, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
  return line + pair;
}

// The same record ended by CR LF.
inline std::string RecordLine(std::uint8_t type, std::uint16_t address,
                              const std::vector<std::uint8_t>& data) {
  return Record(type, address, data) + "\r\n";
}

// One data record (16-bit address), CR LF ended.
inline std::string HexRecord(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
  return RecordLine(0, address, bytes);
}

inline constexpr const char* kHexEnd = ":00000001FF\r\n";

// `bytes` from `address` on as Intel HEX in 16-byte records, with the end
// record: a skeleton file's text.
inline std::string HexImage(const std::vector<std::uint8_t>& bytes, std::uint16_t address = 0) {
  std::string text;
  for (std::size_t at = 0; at < bytes.size(); at += 16) {
    const std::size_t end = std::min(bytes.size(), at + 16);
    text += HexRecord(static_cast<std::uint16_t>(address + at),
                      std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                                bytes.begin() + static_cast<std::ptrdiff_t>(end)));
  }
  return text + kHexEnd;
}

}  // namespace velmorin::test
