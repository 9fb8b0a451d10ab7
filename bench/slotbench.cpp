// slotbench VELMORIN_CLI [ROUNDS]
//
// Chips per hour of one station as its burners grow: `velmorin-cli serialize
// --count K*ROUNDS --slots K --yes --json` for K = 1, 2, 4 and 8 in one run,
// each K with its own INI file and output folder, on a 64 KiB skeleton with
// the serial 4 bytes at 0x100, every output and INI file fsync'd, and a
// stand-in burner (a shell script that sleeps 1 s) in every slot. ROUNDS
// (default 4) is how many burns each slot makes. Each figure is the wall time
// of the whole process; every run's JSON lines are checked (one per number,
// each done) and its images counted before its figure is printed.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/IntelImage.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string gCli;

// Runs `args` with standard output to `out` and standard error to `err`;
// its exit code.
int Run(const std::vector<std::string>& args, const std::string& out, const std::string& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + args[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Cli(const std::vector<std::string>& args, const fs::path& folder) {
  std::vector<std::string> full{gCli};
  full.insert(full.end(), args.begin(), args.end());
  const std::string err = (folder / "setup.err").string();
  if (Run(full, (folder / "setup.out").string(), err) != 0) {
    throw std::runtime_error("velmorin-cli " + args.at(2) + " failed:\n" + ReadFile(err));
  }
}

// The seconds `slots` burners take for `count` images, checked.
double Batch(const fs::path& work, const std::string& skeleton, const std::string& burner,
             int slots, int count) {
  const fs::path folder = work / ("slots" + std::to_string(slots));
  const fs::path out = folder / "out";
  fs::create_directories(out);
  const std::string ini = (folder / "velmorin.ini").string();
  Cli({"--ini", ini, "add", skeleton, "NextSeqNum=1", "SeqNumSize=4", "SeqNumOfs1=0x100",
       "DontBurn=0", "OutputFolder=" + out.string(), "BurnerCmdLine=" + burner + " $image $slot"},
      folder);
  const std::string json = (folder / "batch.jsonl").string();
  const std::string err = (folder / "batch.err").string();
  const auto start = std::chrono::steady_clock::now();
  const int code = Run({gCli, "--ini", ini, "serialize", skeleton, "--count", std::to_string(count),
                        "--slots", std::to_string(slots), "--yes", "--json"},
                       json, err);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (code != 0) {
    throw std::runtime_error(std::to_string(slots) + " slots ended with " + std::to_string(code) +
                             ":\n" + ReadFile(err));
  }
  std::istringstream lines(ReadFile(json));
  int done = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("\"result\":\"ok\"") != std::string::npos) ++done;
  }
  std::size_t images = 0;
  for (const auto& entry : fs::directory_iterator(out)) {
    if (entry.is_regular_file()) ++images;
  }
  if (done != count || images != static_cast<std::size_t>(count)) {
    throw std::runtime_error(std::to_string(slots) + " slots: " + std::to_string(done) +
                             " done and " + std::to_string(images) + " images of " +
                             std::to_string(count));
  }
  return elapsed.count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: slotbench VELMORIN_CLI [ROUNDS]\n");
    return 2;
  }
  gCli = fs::absolute(argv[1]).string();
  const int rounds = argc == 3 ? std::atoi(argv[2]) : 4;
  if (rounds < 1) {
    std::fprintf(stderr, "slotbench: ROUNDS must be 1 or more\n");
    return 2;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/slotbench-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("slotbench: mkdtemp");
    return 1;
  }
  const fs::path work = pattern;
  int result = 0;
  try {
    // 64 KiB of random bytes in 16-byte records, as the other benchmarks use.
    velmorin::TIntelImage image;
    image.MaxRecLen = 16;
    velmorin::TImageSegment segment{0, std::vector<std::uint8_t>(64 * 1024)};
    std::mt19937 random(20240611);
    for (auto& byte : segment.Data) byte = static_cast<std::uint8_t>(random());
    image.Segments.push_back(segment);
    const std::string skeleton = (work / "board.hex").string();
    image.SaveToFile(skeleton);
    const std::string burner = (work / "burner.sh").string();
    std::ofstream(burner) << "#!/bin/sh\nsleep 1\n";
    ::chmod(burner.c_str(), 0755);

    std::printf("%d burns of 1 s per slot, 64 KiB images, outputs and INI files fsync'd\n", rounds);
    std::printf("%-6s %7s %9s %14s %10s\n", "slots", "chips", "wall s", "chips/hour", "vs 1 slot");
    double one = 0;
    for (const int slots : {1, 2, 4, 8}) {
      const int count = slots * rounds;
      const double seconds = Batch(work, skeleton, burner, slots, count);
      const double perHour = count / seconds * 3600;
      if (slots == 1) one = perHour;
      std::printf("%-6d %7d %9.3f %14.0f %9.2fx\n", slots, count, seconds, perHour, perHour / one);
      std::fflush(stdout);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "slotbench: %s\n", e.what());
    result = 1;
  }
  std::error_code ec;
  fs::remove_all(work, ec);
  return result;
}
