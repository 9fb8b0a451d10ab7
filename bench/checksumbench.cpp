// checksumbench [COUNT] [ROUNDS]
//
// What a crc32 region over a whole skeleton costs a batch, before the road of
// a serialization has regions: COUNT images (default 1000) of a 1 MiB
// skeleton of random bytes as Intel HEX, each read anew from the file,
// stamped with its serial (4 bytes at 0x100), and written to a new file
// (without the flush to disk, which the checksum does not change), in three
// ways in turn within each round:
//   none:   no region;
//   cached: the skeleton's checksum checked and the region computed through
//           ChecksumStamper, which keeps the skeleton's bytes and adjusts;
//   whole:  the same with the region computed whole for every image.
// The region is crc32 over 0x000000-0x0FFFFB, its result at 0x0FFFFC, which
// the skeleton's build wrote. Prints each way's images per second (the
// median of ROUNDS, default 3), the speed of each against none, and the time
// the checksum steps alone took per image (the check and the stamping), which
// a busy machine's noise in reading and writing files does not blur.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "image/ImageChecksum.h"
#include "image/IntelImage.h"
#include "serialize/ChecksumStamping.h"

using namespace velmorin;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kSize = 1 << 20;
const ChecksumRegion kRegion{ChecksumKind::Crc32, 0, kSize - 5, kSize - 4};
const std::vector<NumberedChecksumRegion> kRegions{{1, kRegion}};

enum class Way { None, Cached, Whole };

using Clock = std::chrono::steady_clock;

struct Speed {
  double ImagesPerSecond;
  double ChecksumMicroseconds;  // per image
};

Speed Batch(Way way, const std::string& skeleton, const fs::path& out, int count) {
  ChecksumStamper stamper;
  Clock::duration checksums{};
  const auto start = Clock::now();
  for (int serial = 1; serial <= count; ++serial) {
    TIntelImage image;
    image.LoadFromFile(skeleton);
    const auto checkStart = Clock::now();
    if (way == Way::Cached) stamper.CheckSkeleton(image, kRegions);
    if (way == Way::Whole) ChecksumStamper().CheckSkeleton(image, kRegions);
    checksums += Clock::now() - checkStart;
    for (std::uint32_t i = 0; i < 4; ++i) {
      image.SetByte(0x100 + i, static_cast<std::uint32_t>(serial) >> (8 * i));
    }
    const auto stampStart = Clock::now();
    if (way == Way::Cached) stamper.Stamp(image, kRegions);
    if (way == Way::Whole) ChecksumStamper().Stamp(image, kRegions);
    checksums += Clock::now() - stampStart;
    image.SaveToFile((out / ("board_" + std::to_string(serial) + ".hex")).string(),
                     Durability::Normal);
  }
  const std::chrono::duration<double> elapsed = Clock::now() - start;
  return {count / elapsed.count(),
          std::chrono::duration<double, std::micro>(checksums).count() / count};
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  if (count < 1 || rounds < 1) {
    std::fprintf(stderr, "usage: checksumbench [COUNT] [ROUNDS]\n");
    return 2;
  }
  const fs::path work =
      fs::temp_directory_path() / ("checksumbench-" + std::to_string(std::rand()));
  try {
    fs::create_directories(work / "out");
    TIntelImage skeleton;
    skeleton.AddrMode = amLinear;
    skeleton.MaxRecLen = 16;
    std::mt19937 random(20240611);
    std::vector<std::uint8_t> bytes(kSize);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    skeleton.Segments.push_back({0, bytes});
    WriteChecksum(skeleton, kRegion, ComputeChecksum(skeleton, kRegion));
    const std::string skeletonFile = (work / "board.hex").string();
    skeleton.SaveToFile(skeletonFile);

    const Way ways[] = {Way::None, Way::Cached, Way::Whole};
    const char* names[] = {"none", "cached", "whole"};
    std::vector<double> speeds[3];
    std::vector<double> micros[3];
    for (int round = 0; round < rounds; ++round) {
      for (int w = 0; w < 3; ++w) {
        fs::remove_all(work / "out");
        fs::create_directories(work / "out");
        const Speed speed = Batch(ways[w], skeletonFile, work / "out", count);
        speeds[w].push_back(speed.ImagesPerSecond);
        micros[w].push_back(speed.ChecksumMicroseconds);
      }
    }
    const auto medianOf = [](std::vector<double> values) {
      std::sort(values.begin(), values.end());
      return values[values.size() / 2];
    };
    double median[3];
    for (int w = 0; w < 3; ++w) median[w] = medianOf(speeds[w]);
    std::printf("%d images of a 1 MiB skeleton, crc32 over 0x000000-0x0FFFFB, %d rounds\n", count,
                rounds);
    for (int w = 0; w < 3; ++w) {
      std::printf("%-7s %8.1f images/s median (rounds:", names[w], median[w]);
      for (const double s : speeds[w]) std::printf(" %.1f", s);
      std::printf(
          ")  %.2f of none's speed; checksum steps %.1f us an image (%.2f%% of none's "
          "time an image)\n",
          median[w] / median[0], medianOf(micros[w]), medianOf(micros[w]) * median[0] / 1e4);
    }
    fs::remove_all(work);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "checksumbench: %s\n", e.what());
    fs::remove_all(work);
    return 1;
  }
  return 0;
}
