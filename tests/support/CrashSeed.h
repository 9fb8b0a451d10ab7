// The seed of a crash loop's random kill moments. Each run prints it, records
// it as the test's "seed" property and names it in every failure; setting
// VELMORIN_CRASH_SEED to that number replays the same kill moments (the
// children's own pace still varies a little from run to run).
#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmorin::test {

inline std::uint32_t CrashSeed(const char* loop) {
  std::uint32_t seed = 0;
  const char* given = std::getenv("VELMORIN_CRASH_SEED");
  if (given == nullptr) {
    seed = std::random_device()();
  } else {
    const std::string_view text(given);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
      throw std::invalid_argument("VELMORIN_CRASH_SEED=\"" + std::string(text) +
                                  "\" is not a decimal number below 2^32");
    }
  }
  std::printf("%s seed %u (replay: VELMORIN_CRASH_SEED=%u)\n", loop, seed, seed);
  std::fflush(stdout);
  testing::Test::RecordProperty("seed", std::to_string(seed));
  return seed;
}

}  // namespace velmorin::test
