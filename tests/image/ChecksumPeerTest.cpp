// Checksums over images against programs that compute them on their own:
// Python's zlib.crc32 and binascii.crc_hqx over the same bytes, and
// srec_cat's -crc32-l-e and -STM32_Little_Endian over the same Intel HEX
// file, holes filled as our fill byte fills them. A tool that isn't installed
// skips (scripts/setup installs them); Windows has neither.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "image/ImageChecksum.h"
#include "image/IntelImage.h"
#include "tests/image/ChecksumTestSupport.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool Installed(const std::string& tool) {
#ifdef _WIN32  // the peers are Debian tools, run through a POSIX shell
  (void)tool;
  return false;
#else
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

// Debian's own, which scripts/setup installs, not whatever a PATH puts first.
constexpr const char* kPython = "/usr/bin/python3";

#define SKIP_UNLESS_INSTALLED(tool) \
  if (!Installed(tool)) GTEST_SKIP() << tool << " is not installed here (scripts/setup installs it)"

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

// Runs a shell command and gives its standard output.
std::string Output(const std::string& command, const test::TempDir& dir) {
  const std::string out = dir.File("out.txt");
  const std::string err = dir.File("err.txt");
  const int status = std::system((command + " >" + out + " 2>" + err).c_str());
  EXPECT_EQ(status, 0) << command << "\n" << test::ReadFileBytes(err);
  return test::ReadFileBytes(out);
}

// An image with data at 0x1000-0x13FF, 0x1800-0x1807 and 0x2000-0x20FF, and
// holes between them.
TIntelImage HoledImage() {
  TIntelImage image;
  image.AddrMode = amLinear;
  image.Segments.push_back({0x1000, test::RandomBytes(0x400, 1)});
  image.Segments.push_back({0x1800, test::RandomBytes(8, 2)});
  image.Segments.push_back({0x2000, test::RandomBytes(0x100, 3)});
  return image;
}

// The image's bytes from `from` to `to` with holes as `fill`, laid out flat
// by the test itself.
Bytes Flat(TIntelImage image, std::uint32_t from, std::uint32_t to, std::uint8_t fill) {
  image.FixedSize = true;
  Bytes flat;
  for (std::uint64_t a = from; a <= to; ++a) {
    try {
      flat.push_back(image.GetByte(static_cast<std::uint32_t>(a)));
    } catch (const EObjImageError&) {
      flat.push_back(fill);
    }
  }
  return flat;
}

TEST(ChecksumPeers, PythonZlibAndBinasciiOverHoledRanges) {
  SKIP_UNLESS_INSTALLED(kPython);
  test::TempDir dir;
  const TIntelImage image = HoledImage();
  struct Range {
    std::uint32_t from, to;
  };
  // The whole data and beyond it at both ends, a hole alone, data alone.
  const Range ranges[] = {{0x0F00, 0x21FF}, {0x1400, 0x17FF}, {0x1000, 0x13FF}, {0x1003, 0x1804}};
  for (const Range& range : ranges) {
    for (const std::uint8_t fill : {std::uint8_t{0xFF}, std::uint8_t{0x00}}) {
      const Bytes flat = Flat(image, range.from, range.to, fill);
      const std::string data = dir.File("data.bin");
      test::WriteFileBytes(data, std::string(flat.begin(), flat.end()));
      const std::string values = Output(
          std::string(kPython) +
              " -c \"import sys, zlib, binascii; d = open(sys.argv[1], 'rb').read(); "
              "print(zlib.crc32(d), binascii.crc_hqx(d, 0), binascii.crc_hqx(d, 0xFFFF))\" " +
              data,
          dir);
      std::istringstream in(values);
      std::uint32_t crc32 = 0, xmodem = 0, ccittFalse = 0;
      ASSERT_TRUE(in >> crc32 >> xmodem >> ccittFalse) << values;
      const std::string what = RangeText(range.from, range.to) + " fill " + Hex(fill);
      const auto ours = [&](ChecksumKind kind) {
        return ComputeChecksum(image, kind, range.from, range.to, fill);
      };
      EXPECT_EQ(ours(ChecksumKind::Crc32), crc32) << what;
      EXPECT_EQ(ours(ChecksumKind::Crc16Xmodem), xmodem) << what;
      EXPECT_EQ(ours(ChecksumKind::Crc16CcittFalse), ccittFalse) << what;
    }
  }
}

// The largest range there is: all 2^32 addresses, nearly all of them a hole.
TEST(ChecksumPeers, PythonZlibOverTheWholeAddressSpace) {
  SKIP_UNLESS_INSTALLED(kPython);
  test::TempDir dir;
  TIntelImage image;
  image.Segments.push_back({0x00000000, {0x12, 0x34}});
  image.Segments.push_back({0x80000000, test::RandomBytes(100, 5)});
  image.Segments.push_back({0xFFFFFFFE, {0xAB, 0xCD}});
  std::string script =
      "import zlib\n"
      "c = zlib.crc32(bytes([0x12, 0x34]))\n"
      "block = b'\\xff' * (1 << 24)\n"
      "def hole(c, n):\n"
      "    while n >= len(block):\n"
      "        c = zlib.crc32(block, c); n -= len(block)\n"
      "    return zlib.crc32(block[:n], c)\n"
      "c = hole(c, 0x80000000 - 2)\n"
      "c = zlib.crc32(bytes([";
  for (const std::uint8_t b : image.Segments[1].Data) script += std::to_string(b) + ",";
  script +=
      "]), c)\n"
      "c = hole(c, 0xFFFFFFFE - 0x80000000 - 100)\n"
      "print(zlib.crc32(bytes([0xAB, 0xCD]), c))\n";
  test::WriteFileBytes(dir.File("whole.py"), script);
  const std::string value = Output(std::string(kPython) + " " + dir.File("whole.py"), dir);
  EXPECT_EQ(Hex(ComputeChecksum(image, ChecksumKind::Crc32, 0, 0xFFFFFFFF, 0xFF)),
            Hex(static_cast<std::uint32_t>(std::stoul(value))));
}

// srec_cat fills the range, computes its checksum into a place after it, and
// gives that place's four bytes.
Bytes SrecChecksum(const test::TempDir& dir, const std::string& hexFile, const std::string& filter,
                   std::uint32_t from, std::uint32_t to, std::uint8_t fill, std::uint32_t at) {
  const std::string bin = dir.File("srec.bin");
  std::remove(bin.c_str());
  const std::string end = Hex(to + 1);
  Output("srec_cat " + hexFile + " -intel -fill " + Hex(fill) + " " + Hex(from) + " " + end +
             " -crop " + Hex(from) + " " + end + " " + filter + " " + Hex(at) + " -crop " +
             Hex(at) + " " + Hex(at + 4) + " -offset -" + Hex(at) + " -o " + bin + " -binary",
         dir);
  const std::string bytes = test::ReadFileBytes(bin);
  return Bytes(bytes.begin(), bytes.end());
}

TEST(ChecksumPeers, SrecCatCrc32AndStm32OverTheSameFile) {
  SKIP_UNLESS_INSTALLED("srec_cat");
  test::TempDir dir;
  TIntelImage image = HoledImage();
  const std::string hexFile = dir.File("image.hex");
  image.SaveToFile(hexFile);
  struct Range {
    std::uint32_t from, to;
  };
  // Lengths that are multiples of 4, so that the STM32 unit can take them.
  const Range ranges[] = {{0x0F00, 0x21FF}, {0x1000, 0x13FF}, {0x1404, 0x180B}, {0x0000, 0x0FFF}};
  for (const Range& range : ranges) {
    for (const std::uint8_t fill : {std::uint8_t{0xFF}, std::uint8_t{0x00}}) {
      const std::string what = RangeText(range.from, range.to) + " fill " + Hex(fill);
      const std::uint32_t at = 0x30000;
      EXPECT_EQ(
          SrecChecksum(dir, hexFile, "-crc32-l-e", range.from, range.to, fill, at),
          ChecksumResultBytes(
              ComputeChecksum(image, ChecksumKind::Crc32, range.from, range.to, fill), 4, false))
          << what;
      EXPECT_EQ(SrecChecksum(dir, hexFile, "-STM32_Little_Endian", range.from, range.to, fill, at),
                ChecksumResultBytes(
                    ComputeChecksum(image, ChecksumKind::Crc32Stm32, range.from, range.to, fill), 4,
                    false))
          << what;
    }
  }
}

}  // namespace
}  // namespace velmorin
