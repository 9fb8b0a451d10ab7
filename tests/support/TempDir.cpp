#include "tests/support/TempDir.h"

#include <cstdlib>
#ifdef _WIN32
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#endif
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace velmorin::test {

TempDir::TempDir() {
#ifdef _WIN32
  // No mkdtemp: try random names until create_directory makes a new one.
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
#else
  std::string pattern = (std::filesystem::temp_directory_path() / "velmorin-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  FPath = pattern;
#endif
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave read-only folders behind; make them writable before removing.
  for (auto it = std::filesystem::recursive_directory_iterator(FPath, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    // A link's own mode can't be changed; following it would change its
    // target's, which may lie outside the folder (a test links to /dev/null).
    if (it->is_symlink(ec)) continue;
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(FPath, ec);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out << bytes;
}

}  // namespace velmorin::test
