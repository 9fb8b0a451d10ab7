// Runs the real velmorin-cli as a child process, the way a jig script does:
// arguments, a working folder, a given standard input, and what it printed
// and how it ended. CliRunnerPosix.cpp and CliRunnerWin.cpp start it; a
// velmorin-cli started without waiting is each system's own
// (CliRunnerPosix.h, CliRunnerWin.h).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/HexRecords.h"
#include "tests/support/TempDir.h"

namespace velmorin::test {

struct CliResult {
  int exitCode = -1;  // -1 when it did not end by itself
  std::string out;    // standard output (lines end in LF, also on Windows)
  std::string err;    // standard error (likewise)
};

struct CliRun {
  std::vector<std::string> args;  // after the program's name
  std::string folder;             // working folder; empty: ours
  std::string input;              // standard input (a file, never a terminal)
};

// Runs velmorin-cli and waits for it to end.
CliResult RunCli(const CliRun& run);

// `count` bytes from address 0 as Intel HEX in 16-byte records, the
// skeleton of the tests.
inline std::string SkeletonHex(std::uint32_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (std::uint32_t at = 0; at < count; ++at) bytes[at] = static_cast<std::uint8_t>(at * 7 + 3);
  return HexImage(bytes);
}

// The path of the velmorin-cli under test.
std::string CliPath();

// A test folder with a skeleton of `skeletonBytes` bytes and an INI file of
// its own, which every command of the fixture names with --ini.
class CliFixture : public ::testing::Test {
 protected:
  explicit CliFixture(std::uint32_t skeletonBytes) : FSkeletonBytes(skeletonBytes) {}

  void SetUp() override {
    ini = dir.File("velmorin.ini");
    skeleton = dir.File("board.hex");
    std::ofstream(skeleton, std::ios::binary) << SkeletonHex(FSkeletonBytes);
  }

  // velmorin-cli --ini <our file> args...
  CliResult Cli(std::vector<std::string> args, std::string input = "") {
    args.insert(args.begin(), {"--ini", ini});
    return RunCli({args, dir.Path().string(), input});
  }

  std::string IniText() const {
    std::ifstream in(ini, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  TempDir dir;
  std::string ini;
  std::string skeleton;

 private:
  std::uint32_t FSkeletonBytes;
};

}  // namespace velmorin::test
