// Runs a fuzz harness's LLVMFuzzerTestOneInput over every file of the corpus
// folders named on the command line, without a fuzzer, so that the normal
// build and the sanitizer build check every input the fuzzing kept (crash
// inputs included, once fixed). A broken property aborts; the handler names
// the input first. A folder without files fails, so a lost corpus is noticed.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

char currentInput[4096];

extern "C" void NameTheInput(int sig) {
  const char prefix[] = "\nwhile replaying ";
  [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, prefix, sizeof prefix - 1);
  ignored = ::write(STDERR_FILENO, currentInput, std::strlen(currentInput));
  ignored = ::write(STDERR_FILENO, "\n", 1);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER...\n", argv[0]);
    return 2;
  }
  for (const int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) ::signal(sig, NameTheInput);

  for (int i = 1; i < argc; ++i) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i])) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
      std::fprintf(stderr, "%s holds no inputs\n", argv[i]);
      return 1;
    }
    for (const auto& file : files) {
      std::snprintf(currentInput, sizeof currentInput, "%s", file.c_str());
      std::ifstream in(file, std::ios::binary);
      const std::string bytes(std::istreambuf_iterator<char>(in), {});
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%s: %zu inputs replayed\n", argv[i], files.size());
  }
  return 0;
}
