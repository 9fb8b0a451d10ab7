// Burners that behave badly, for the burner fault tests:
//   velmorin_misbehaving_burner MODE FDS_FILE [image path...]
// Every mode first lists its open descriptors into FDS_FILE ("<n> <target>"
// per line), then:
//   flood    writes 8 MiB to standard output and 8 MiB to standard error, exits 3
//   hang     starts a grandchild that never ends (its pid goes to
//            FDS_FILE.grandchild), then never ends itself
//   signal   dies by SIGSEGV
//   succeed  exits 0
//   marker   creates "ran-from-cwd" in the current folder and exits 0
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

void ListDescriptors(const std::string& path) {
  std::ostringstream list;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    const int own = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own) continue;
      char target[4096] = {};
      const std::string link = std::string("/proc/self/fd/") + entry->d_name;
      const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
      list << entry->d_name << ' ' << (length > 0 ? target : "?") << '\n';
    }
    ::closedir(dir);
  }
  std::ofstream(path, std::ios::trunc) << list.str();
}

bool WriteAll(int fd, std::size_t total) {
  static const std::string chunk(64 * 1024, '#');
  for (std::size_t done = 0; done < total;) {
    const ssize_t n = ::write(fd, chunk.data(), std::min(chunk.size(), total - done));
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

[[noreturn]] void SleepForever() {
  while (true) ::pause();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 64;
  const std::string mode = argv[1];
  const std::string fdsFile = argv[2];
  ListDescriptors(fdsFile);

  if (mode == "flood") {
    const bool written = WriteAll(STDOUT_FILENO, 8 << 20) && WriteAll(STDERR_FILENO, 8 << 20);
    return written ? 3 : 4;
  }
  if (mode == "hang") {
    const pid_t grandchild = ::fork();
    if (grandchild == 0) SleepForever();
    std::ofstream(fdsFile + ".grandchild") << grandchild << '\n';
    SleepForever();
  }
  if (mode == "signal") {
    ::signal(SIGSEGV, SIG_DFL);
    ::raise(SIGSEGV);
    return 5;
  }
  if (mode == "succeed") return 0;
  if (mode == "marker") {
    std::ofstream("ran-from-cwd") << "ran\n";
    return 0;
  }
  return 64;
}
