// The POSIX half of TempDir: mkdtemp makes the folder.
#include <cstdlib>
#include <stdexcept>

#include "tests/support/TempDir.h"

namespace velmorin::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmorin-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  FPath = pattern;
}

}  // namespace velmorin::test
