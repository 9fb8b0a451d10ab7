// checksumbench [COUNT] [ROUNDS]
//
// What a crc32 region over a whole skeleton costs a batch. COUNT images
// (default 1000) of a 1 MiB skeleton of random bytes as Intel HEX, the
// serial 4 bytes at 0x100, the region crc32 over 0x000000-0x0FFFFB with its
// result at 0x0FFFFC, which the skeleton's build wrote. Two parts, each way
// taking its turn within each round, so a busy machine slows them alike:
//
// The road: the "Serialize..." batch through the session, as the window and
// velmorin-cli serialize run it: the skeleton read anew for every image, the
// profile stored durably after every number, every output written durably;
//   road-none:  a profile without a region;
//   road-crc32: the same profile with the region.
//
// The steps: the same images read, stamped and written (without the flush to
// disk, which the checksum does not change) around the checksum steps alone:
//   none:   no region;
//   cached: the skeleton's checksum checked and the region computed through
//           ChecksumStamper, which keeps the skeleton's bytes and adjusts;
//   whole:  the same with the region computed whole for every image.
// They print, besides the speed, the time the checksum steps alone took per
// image (the check and the stamping), which a busy machine's noise in
// reading and writing files does not blur.
//
// Prints each way's images per second (the median of ROUNDS, default 3) and
// its speed against the way without a region.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/ImageChecksum.h"
#include "image/IntelImage.h"
#include "serialize/AnswerOperator.h"
#include "serialize/ChecksumStamping.h"
#include "serialize/Session.h"

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

// The batch through the session, on a new INI file and output folder.
double RoadBatch(bool withRegion, const std::string& skeleton, const fs::path& work, int count) {
  const std::string ini = (work / (withRegion ? "road-crc32.ini" : "road-none.ini")).string();
  fs::remove(ini);
  fs::remove_all(work / "out");
  fs::create_directories(work / "out");
  std::vector<std::string> assignments{"NextSeqNum=1", "SeqNumSize=4",
                                       "ByteOrder=1",  "SeqNumOfs1=0x100",
                                       "DontBurn=1",   "OutputFolder=" + (work / "out").string()};
  if (withRegion) {
    assignments.insert(assignments.end(), {"ChecksumKind1=crc32", "ChecksumFrom1=0",
                                           "ChecksumTo1=0x0FFFFB", "ChecksumAt1=0x0FFFFC"});
  }
  AnswerOperator op;
  {
    Session adding(IniLocation{ini, false}, op);
    adding.Open(Session::Start::Nothing);
    adding.AddProfile(skeleton, assignments);
  }
  Session session(IniLocation{ini, false}, op);
  session.Open(Session::Start::Nothing);
  if (!session.LoadProfile(skeleton)) throw std::runtime_error("the profile did not load");
  const auto start = Clock::now();
  if (!session.SerializeBatch(count).Finished()) {
    throw std::runtime_error("the batch did not finish: " + op.LastBoxText());
  }
  const std::chrono::duration<double> elapsed = Clock::now() - start;
  return count / elapsed.count();
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

    const auto medianOf = [](std::vector<double> values) {
      std::sort(values.begin(), values.end());
      return values[values.size() / 2];
    };
    const auto printRounds = [](const std::vector<double>& values) {
      std::printf(" (rounds:");
      for (const double v : values) std::printf(" %.1f", v);
      std::printf(")");
    };
    std::printf("%d images of a 1 MiB skeleton, crc32 over 0x000000-0x0FFFFB, %d rounds\n", count,
                rounds);

    std::vector<double> road[2];
    for (int round = 0; round < rounds; ++round) {
      for (int withRegion = 0; withRegion < 2; ++withRegion) {
        road[withRegion].push_back(RoadBatch(withRegion != 0, skeletonFile, work, count));
      }
    }
    const double roadNone = medianOf(road[0]);
    for (int withRegion = 0; withRegion < 2; ++withRegion) {
      std::printf("%-11s %8.1f images/s median", withRegion ? "road-crc32" : "road-none",
                  medianOf(road[withRegion]));
      printRounds(road[withRegion]);
      std::printf("  %.2f of road-none's speed\n", medianOf(road[withRegion]) / roadNone);
    }

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
    const double none = medianOf(speeds[0]);
    for (int w = 0; w < 3; ++w) {
      std::printf("%-11s %8.1f images/s median", names[w], medianOf(speeds[w]));
      printRounds(speeds[w]);
      std::printf(
          "  %.2f of none's speed; checksum steps %.1f us an image (%.2f%% of none's "
          "time an image)\n",
          medianOf(speeds[w]) / none, medianOf(micros[w]), medianOf(micros[w]) * none / 1e4);
    }
    fs::remove_all(work);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "checksumbench: %s\n", e.what());
    fs::remove_all(work);
    return 1;
  }
  return 0;
}
