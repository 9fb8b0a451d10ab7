// serverbench VELMORIN_CLI SKELETON [COUNT]
//
// Serial numbers from a PostgreSQL server against the INI file's own
// counter, in one run. A throwaway cluster (fsync on, so a commit costs what
// it costs on a real server) serves one pool; COUNT images (default 1000)
// are serialized by 1, 2 and 4 stations at once, each station a
// `velmorin-cli serialize SKELETON --count COUNT/N --yes` process with its own
// INI file and output folder, "Don't burn" checked, the serial 4 bytes MSB
// first at 0x100. The same batches run again with each station on its own
// INI counter (hand-split ranges, as lines do without a server). Each figure
// is the wall time from the first station's start to the last one's end;
// every output file is counted and, with the server, every number is checked
// to be handed out once with no gap.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "pgcluster/PgCluster.h"
#include "platform/ini/IniFile.h"

namespace fs = std::filesystem;
using velmorin::PgCluster;

namespace {

std::string gCli;
std::string gSkeleton;

// Runs `args` with output to `log`; returns its pid.
pid_t Spawn(const std::vector<std::string>& args, const std::string& log) {
  // Or the child's freopen would print what we have buffered a second time.
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    std::FILE* out = std::freopen(log.c_str(), "w", stdout);
    if (out == nullptr || ::dup2(1, 2) < 0) ::_exit(126);
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Cli(const std::vector<std::string>& args, const std::string& log) {
  std::vector<std::string> full{gCli};
  full.insert(full.end(), args.begin(), args.end());
  if (Wait(Spawn(full, log)) != 0) {
    throw std::runtime_error("velmorin-cli " + args.at(2) + " failed:\n" + ReadFile(log));
  }
}

struct Station {
  std::string folder, ini, out;
};

// One batch of `count` images over `stations` stations at once; returns the
// seconds from the first start to the last end.
double Batch(const fs::path& work, const std::string& name, int stations, int count,
             const std::string& server) {
  std::vector<Station> all;
  for (int i = 0; i < stations; ++i) {
    Station s;
    s.folder = (work / (name + "-" + std::to_string(i))).string();
    s.ini = s.folder + "/velmorin.ini";
    s.out = s.folder + "/out";
    fs::create_directories(s.out);
    // Without a server each station keeps its own range of numbers.
    const std::string first = server.empty() ? std::to_string(i * 1000000 + 1) : "1";
    Cli({"--ini", s.ini, "add", gSkeleton, "NextSeqNum=" + first, "SeqNumSize=4",
         "SeqNumOfs1=0x100", "DontBurn=1", "OutputFolder=" + s.out},
        s.folder + "/setup.log");
    if (!server.empty()) {
      velmorin::IniFile::Changes changes;
      changes.WriteString(gSkeleton, "SerialPool", name)
          .WriteString("Options", "SerialServer", server);
      velmorin::IniFile(s.ini).Apply(changes);
    }
    all.push_back(s);
  }
  if (!server.empty()) {
    Cli({"--ini", all[0].ini, "pool", "create", name, "--next", "1"}, all[0].folder + "/pool.log");
  }

  std::vector<pid_t> pids;
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < all.size(); ++i) {
    const int share = count / stations + (static_cast<int>(i) < count % stations ? 1 : 0);
    pids.push_back(Spawn({gCli, "--ini", all[i].ini, "serialize", gSkeleton, "--count",
                          std::to_string(share), "--yes"},
                         all[i].folder + "/batch.log"));
  }
  std::vector<int> codes;
  for (const pid_t pid : pids) codes.push_back(Wait(pid));
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

  // What the stations wrote: COUNT images, and from a pool each number once.
  static const std::regex image(R"(.*_(\d+)\.hex)");
  std::set<long long> serials;
  std::size_t files = 0;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (codes[i] != 0) {
      throw std::runtime_error(name + " station " + std::to_string(i) + " ended with " +
                               std::to_string(codes[i]) + ":\n" +
                               ReadFile(all[i].folder + "/batch.log"));
    }
    for (const auto& entry : fs::directory_iterator(all[i].out)) {
      std::smatch match;
      const std::string file = entry.path().filename().string();
      if (!std::regex_match(file, match, image)) continue;
      ++files;
      serials.insert(std::stoll(match[1]));
    }
  }
  if (files != static_cast<std::size_t>(count) || serials.size() != files) {
    throw std::runtime_error(name + ": " + std::to_string(files) + " images, " +
                             std::to_string(serials.size()) + " numbers, for " +
                             std::to_string(count));
  }
  if (!server.empty() && (*serials.begin() != 1 || *serials.rbegin() != count)) {
    throw std::runtime_error(name + ": the pool's numbers have a gap");
  }
  return elapsed.count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: serverbench VELMORIN_CLI SKELETON [COUNT]\n");
    return 2;
  }
  gCli = fs::absolute(argv[1]).string();
  gSkeleton = fs::absolute(argv[2]).string();
  const int count = argc == 4 ? std::atoi(argv[3]) : 1000;
  if (count < 4) {
    std::fprintf(stderr, "serverbench: COUNT must be 4 or more\n");
    return 2;
  }
  if (const auto why = PgCluster::Unavailable()) {
    std::fprintf(stderr, "serverbench: no PostgreSQL cluster can be started here: %s\n",
                 why->c_str());
    return 1;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/serverbench-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("serverbench: mkdtemp");
    return 1;
  }
  const fs::path work = pattern;
  int result = 0;
  try {
    PgCluster cluster(true);
    cluster.Start();
    const std::string server = cluster.ConnectionString();
    const std::string owner = (work / "owner.ini").string();
    velmorin::IniFile(owner).WriteString("Options", "SerialServer", server);
    Cli({"--ini", owner, "server", "init"}, (work / "init.log").string());
    std::printf("%d images of %s (%ju bytes), Don't burn, outputs and INI files fsync'd\n", count,
                gSkeleton.c_str(), static_cast<std::uintmax_t>(fs::file_size(gSkeleton)));
    std::printf("%-8s %-9s %9s %12s\n", "stations", "numbers", "wall s", "numbers/s");
    for (const int stations : {1, 2, 4}) {
      const double ini = Batch(work, "ini" + std::to_string(stations), stations, count, "");
      const double pool = Batch(work, "pool" + std::to_string(stations), stations, count, server);
      std::printf("%-8d %-9s %9.3f %12.1f\n", stations, "INI file", ini, count / ini);
      std::printf("%-8d %-9s %9.3f %12.1f   server/INI: %.2f\n", stations, "server", pool,
                  count / pool, ini / pool);
      std::fflush(stdout);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "serverbench: %s\n", e.what());
    result = 1;
  }
  fs::remove_all(work);
  return result;
}
