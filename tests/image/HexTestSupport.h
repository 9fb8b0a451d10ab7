// Helpers for the image tests: records built independently of the code under
// test (so a wrong checksum rule can't agree with itself), and the image's
// contents as a plain address-to-byte map.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "image/ObjImage.h"
#include "tests/support/HexRecords.h"

namespace velmorin::test {

// Lines joined, each ended by CR LF.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

// The lines of a text, without their CR LF (or LF) ends.
inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    begin = end + 1;
  }
  return lines;
}

// `count` bytes that differ from one another and from one call to the next.
inline std::vector<std::uint8_t> Pattern(std::size_t count, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(count);
  std::uint32_t state = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

using ByteMap = std::map<std::uint32_t, std::uint8_t>;

// What the image holds at each address; a later segment wins over an earlier.
inline ByteMap BytesOf(const TObjImage& image) {
  ByteMap bytes;
  for (const auto& segment : image.Segments) {
    for (std::size_t i = 0; i < segment.Data.size(); ++i) {
      bytes[static_cast<std::uint32_t>(segment.Start + i)] = segment.Data[i];
    }
  }
  return bytes;
}

inline TImageSegment Segment(std::uint32_t start, std::vector<std::uint8_t> data) {
  return TImageSegment{start, std::move(data)};
}

}  // namespace velmorin::test
