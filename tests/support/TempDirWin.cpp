// The Windows half of TempDir: there is no mkdtemp, so random names are tried
// until create_directory makes a new folder.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <stdexcept>

#include "tests/support/TempDir.h"

namespace velmorin::test {

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed() ^ static_cast<std::uint64_t>(
                                      std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "velmorin-test-%012llx",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
    const auto candidate = std::filesystem::temp_directory_path() / name;
    if (std::filesystem::create_directory(candidate)) {
      FPath = candidate;
      return;
    }
  }
  throw std::runtime_error("no fresh temporary folder");
}

}  // namespace velmorin::test
