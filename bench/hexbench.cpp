// hexbench [--phases] [--checksum KIND FROM TO AT] IN OUT [ADDRESS SERIAL WIDTH]
//
// The work of one serialization without the window: reads IN into a
// TIntelImage, optionally stamps SERIAL's bytes (least significant first, zero
// beyond the fourth) at ADDRESS through SetByte, with --checksum computes
// KIND over FROM..TO after stamping and writes it at AT (least significant
// byte first, holes as 0xFF), and writes OUT. The output is
// saved the way a serialization saves it (temporary file, then rename) but
// without the flush to disk, so that it compares with tools that don't flush;
// run-hexbench times it against objcopy and cat on the same file. --phases
// prints the time of reading, stamping, the checksum and writing on standard
// error.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string>

#include "image/ChecksumKind.h"
#include "image/ImageChecksum.h"
#include "image/IntelImage.h"

namespace {

bool ParseUnsigned(const char* text, unsigned long long limit, unsigned long long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text, &end, 0);
  return *text != '\0' && *text != '-' && *end == '\0' && errno == 0 && value <= limit;
}

bool ParseSerial(const char* text, std::int32_t& serial) {
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 10);
  if (*text == '\0' || *end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX) {
    return false;
  }
  serial = static_cast<std::int32_t>(value);
  return true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: hexbench [--phases] [--checksum KIND FROM TO AT] IN OUT [ADDRESS SERIAL "
               "WIDTH]\n"
               "  KIND     a checksum kind of the catalogue (crc32, ...)\n"
               "  FROM TO  its range, both included; AT where its result goes\n"
               "  ADDRESS  image address of the serial's first byte (decimal or 0x...)\n"
               "  SERIAL   signed 32-bit serial number, decimal\n"
               "  WIDTH    number of bytes to stamp, 1 to 64\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const bool phases = argc > 1 && std::strcmp(argv[1], "--phases") == 0;
  if (phases) {
    --argc;
    ++argv;
  }
  std::optional<velmorin::ChecksumRegion> region;
  if (argc > 5 && std::strcmp(argv[1], "--checksum") == 0) {
    const std::optional<velmorin::ChecksumKind> kind = velmorin::FindChecksumKind(argv[2]);
    unsigned long long from = 0, to = 0, at = 0;
    if (!kind || !ParseUnsigned(argv[3], 0xFFFFFFFFull, from) ||
        !ParseUnsigned(argv[4], 0xFFFFFFFFull, to) || !ParseUnsigned(argv[5], 0xFFFFFFFFull, at)) {
      return Usage();
    }
    region =
        velmorin::ChecksumRegion{*kind, static_cast<std::uint32_t>(from),
                                 static_cast<std::uint32_t>(to), static_cast<std::uint32_t>(at)};
    argc -= 5;
    argv += 5;
  }
  if (argc != 3 && argc != 6) return Usage();
  unsigned long long address = 0;
  unsigned long long width = 0;
  std::int32_t serial = 0;
  const bool stamp = argc == 6;
  if (stamp && (!ParseUnsigned(argv[3], 0xFFFFFFFFull, address) || !ParseSerial(argv[4], serial) ||
                !ParseUnsigned(argv[5], 64, width) || width == 0)) {
    return Usage();
  }

  try {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    velmorin::TIntelImage image;
    image.LoadFromFile(argv[1]);
    const auto read = Clock::now();
    if (stamp) {
      const auto pattern = static_cast<std::uint32_t>(serial);
      for (unsigned i = 0; i < width; ++i) {
        const std::uint32_t value = i < 4 ? (pattern >> (8 * i)) & 0xFF : 0;
        image.SetByte(static_cast<std::uint32_t>(address + i), value);
      }
    }
    const auto stamped = Clock::now();
    if (region) velmorin::WriteChecksum(image, *region, velmorin::ComputeChecksum(image, *region));
    const auto summed = Clock::now();
    image.SaveToFile(argv[2], velmorin::Durability::Normal);
    const auto written = Clock::now();
    if (phases) {
      const auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
      };
      std::fprintf(stderr, "read %.1f ms, stamp %.3f ms, checksum %.1f ms, write %.1f ms\n",
                   ms(read - start), ms(stamped - read), ms(summed - stamped),
                   ms(written - summed));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "hexbench: %s\n", e.what());
    return 1;
  }
  return 0;
}
