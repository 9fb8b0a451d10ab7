// Our Intel HEX against other programs that read and write the format: each
// must read our files into exactly the bytes our image holds, and we must read
// theirs into the same bytes. A tool that isn't installed skips its test
// (scripts/setup installs all of them).
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "image/IntelImage.h"
#include "tests/image/HexTestSupport.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool Installed(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

#define SKIP_UNLESS_INSTALLED(tool) \
  if (!Installed(tool)) GTEST_SKIP() << tool << " is not installed (scripts/setup installs it)"

// Runs a shell command; its error output goes to `log`.
void RunTool(const std::string& command, const std::string& log) {
  const int status = std::system((command + " 2>" + log).c_str());
  ASSERT_EQ(status, 0) << command << "\n" << test::ReadFileBytes(log);
}

// The bytes from `first` to `last` as a flat file holds them, gaps as zeros.
Bytes Flat(const test::ByteMap& bytes, std::uint32_t first, std::uint32_t last) {
  Bytes flat(last - first + 1, 0);
  for (const auto& [address, value] : bytes) flat[address - first] = value;
  return flat;
}

Bytes FileBytes(const std::string& path) {
  const std::string text = test::ReadFileBytes(path);
  return Bytes(text.begin(), text.end());
}

struct PeerCase {
  const char* name;
  TAddrMode mode;
  std::uint32_t maxRecLen;
  std::uint32_t startAddr;
  std::vector<std::pair<std::uint32_t, std::size_t>> runs;  // start, length
  friend void PrintTo(const PeerCase& c, std::ostream* os) { *os << c.name; }
};

class Peers : public testing::TestWithParam<PeerCase> {
 protected:
  void SetUp() override {
    const PeerCase& c = GetParam();
    FImage.AddrMode = c.mode;
    FImage.MaxRecLen = c.maxRecLen;
    FImage.StartAddr = c.startAddr;
    for (const auto& [start, length] : c.runs) {
      FImage.Segments.push_back({start, test::Pattern(length, start)});
    }
    FOurs = FDir.File("ours.hex");
    FLog = FDir.File("log.txt");
    FImage.SaveToFile(FOurs);
    FBytes = test::BytesOf(FImage);
  }

  // Reads a file written by a peer, and checks our read-write-read of it.
  void ExpectWeRead(const std::string& theirs) {
    TIntelImage image;
    image.LoadFromFile(theirs);
    EXPECT_EQ(test::BytesOf(image), FBytes) << theirs;
    TIntelImage again;
    again.LoadFromText(image.SaveToText());
    ASSERT_EQ(again.Segments.size(), image.Segments.size());
    for (std::size_t i = 0; i < image.Segments.size(); ++i) {
      EXPECT_EQ(again.Segments[i].Start, image.Segments[i].Start);
      EXPECT_EQ(again.Segments[i].Data, image.Segments[i].Data);
    }
  }

  test::TempDir FDir;
  TIntelImage FImage;
  test::ByteMap FBytes;
  std::string FOurs;
  std::string FLog;
};

TEST_P(Peers, ObjcopyReadsOurFile) {
  SKIP_UNLESS_INSTALLED("objcopy");
  const std::string out = FDir.File("objcopy.bin");
  // Binary output starts at the lowest address and fills gaps.
  RunTool("objcopy -I ihex -O binary --gap-fill 0 " + FOurs + " " + out, FLog);
  EXPECT_EQ(FileBytes(out), Flat(FBytes, FBytes.begin()->first, FBytes.rbegin()->first));
}

TEST_P(Peers, SrecCatReadsOurFile) {
  SKIP_UNLESS_INSTALLED("srec_cat");
  const std::string out = FDir.File("srec.bin");
  // Binary output puts each byte at its address, from 0.
  RunTool("srec_cat " + FOurs + " -intel -o " + out + " -binary", FLog);
  EXPECT_EQ(FileBytes(out), Flat(FBytes, 0, FBytes.rbegin()->first));
}

TEST_P(Peers, IntelHexReadsOurFile) {
  const std::string python = "/usr/bin/python3";
  SKIP_UNLESS_INSTALLED(python);
  if (std::system((python + " -c 'import intelhex' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "python3-intelhex is not installed (scripts/setup installs it)";
  }
  const std::string script = FDir.File("dump.py");
  test::WriteFileBytes(script,
                       "import sys, intelhex\n"
                       "ih = intelhex.IntelHex(sys.argv[1])\n"
                       "sa = ih.start_addr or {}\n"
                       "print(sa.get('EIP', sa.get('CS', 0) << 16 | sa.get('IP', 0)))\n"
                       "for a, b in ih.segments():\n"
                       "    print(a, ih.tobinstr(a, b - 1).hex())\n");
  const std::string out = FDir.File("dump.txt");
  RunTool(python + " " + script + " " + FOurs + " >" + out, FLog);
  std::istringstream dump(test::ReadFileBytes(out));
  std::uint32_t startAddr = 0;
  dump >> startAddr;
  EXPECT_EQ(startAddr, FImage.StartAddr);
  test::ByteMap read;
  std::uint32_t address;
  std::string hex;
  while (dump >> address >> hex) {
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
      read[address++] = static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
  }
  EXPECT_EQ(read, FBytes);
}

TEST_P(Peers, WeReadWhatPeersWrite) {
  int peers = 0;
  if (Installed("objcopy")) {
    RunTool("objcopy -I ihex -O ihex " + FOurs + " " + FDir.File("objcopy.hex"), FLog);
    ExpectWeRead(FDir.File("objcopy.hex"));
    ++peers;
  }
  if (Installed("srec_cat")) {
    RunTool("srec_cat " + FOurs + " -intel -o " + FDir.File("srec.hex") + " -intel", FLog);
    ExpectWeRead(FDir.File("srec.hex"));
    ++peers;
  }
  if (std::system("/usr/bin/python3 -c 'import intelhex' 2>/dev/null") == 0) {
    RunTool(
        "/usr/bin/python3 -c 'import sys, intelhex; "
        "intelhex.IntelHex(sys.argv[1]).write_hex_file(sys.argv[2])' " +
            FOurs + " " + FDir.File("intelhex.hex"),
        FLog);
    ExpectWeRead(FDir.File("intelhex.hex"));
    ++peers;
  }
  if (peers == 0) GTEST_SKIP() << "no peer tool is installed (scripts/setup installs them)";
}

INSTANTIATE_TEST_SUITE_P(
    GeneratedImages, Peers,
    testing::Values(
        PeerCase{
            "Linear16", amLinear, 16, 0x00012345, {{0x0000, 300}, {0x8000, 100}, {0x1FFF0, 0x50}}},
        PeerCase{"Linear32", amLinear, 32, 0x00100000, {{0x000FFF00, 512}, {0x00100400, 200}}},
        PeerCase{"Linear255", amLinear, 255, 0, {{0x0, 1000}, {0x2FFF0, 600}, {0x50000, 10}}},
        PeerCase{"LinearDescending", amLinear, 32, 0, {{0x30000, 64}, {0x100, 64}}},
        PeerCase{"Segment16", amSegment, 16, 0x10000100, {{0x0100, 300}, {0x1FFF0, 0x50}}},
        PeerCase{"Segment255", amSegment, 255, 0xF0000010, {{0x5000, 700}, {0xEFF00, 800}}},
        PeerCase{"NoAddressing32", amNone, 32, 0, {{0x0000, 100}, {0x4000, 70}}}),
    [](const auto& testCase) { return testCase.param.name; });

}  // namespace
}  // namespace velmorin
