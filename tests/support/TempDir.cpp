// What TempDir does on every system: its removal and the whole-file helpers;
// TempDirPosix.cpp and TempDirWin.cpp make the folder.
#include "tests/support/TempDir.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace velmorin::test {

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

int EntriesIn(const std::filesystem::path& folder) {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
  return n;
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
