// The one way a harness reports a broken property: print what broke and abort,
// so that libFuzzer keeps the input as a crash and the corpus replay fails.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace velmorin::fuzz {

[[noreturn]] inline void Broken(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
  std::abort();
}

}  // namespace velmorin::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::velmorin::fuzz::Broken(#condition, __FILE__, __LINE__))
