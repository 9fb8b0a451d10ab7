// Reads an Intel HEX file, stamps the bytes 04 03 02 01 at each address given
// (in hexadecimal; four bytes, least significant first, as a serialization
// with SN Size 4 would) and writes the result. The tests run it as a child to
// measure its peak memory; by hand:
//   /usr/bin/time -v velmorin_stamp_probe in.hex out.hex 104 FFFFFFFE
// Exit status 0 on success, 2 with the error's message on standard error.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "image/IntelImage.h"
#include "serialize/SeqNumStamp.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s IN.hex OUT.hex [ADDRESS...]\n", argv[0]);
    return 1;
  }
  try {
    velmorin::TIntelImage image;
    image.LoadFromFile(argv[1]);
    for (int i = 3; i < argc; ++i) {
      const auto address = static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 16));
      velmorin::StampSerialBytes(image, 0x01020304, 4, address, /*lsbFirst=*/true);
    }
    image.SaveToFile(argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  }
  return 0;
}
