// Helpers for tests that run the test burner: its path, the environment that
// steers it, and readers for what it recorded.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace velmorin::test {

// The test burner program built beside the tests.
// The build names it with forward slashes; a burner line is the system's own
// text, with backslashes on Windows.
inline std::string TestBurnerPath() {
  return std::filesystem::path(VELMORIN_TEST_BURNER).make_preferred().string();
}

// Sets an environment variable for one scope and restores the old value.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string FName;
  bool FHadValue = false;
  std::string FOldValue;
};

// Makes `folder` the current folder for one scope.
class ScopedCurrentPath {
 public:
  explicit ScopedCurrentPath(const std::filesystem::path& folder);
  ~ScopedCurrentPath();
  ScopedCurrentPath(const ScopedCurrentPath&) = delete;
  ScopedCurrentPath& operator=(const ScopedCurrentPath&) = delete;

 private:
  std::filesystem::path FOld;
};

// Points the test burner's argument log into `dir` for one scope and reads
// back every run recorded there, each as its argument vector.
class BurnerLog {
 public:
  explicit BurnerLog(const TempDir& dir);
  std::vector<std::vector<std::string>> Runs() const;
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
  ScopedEnv FEnv;
};

}  // namespace velmorin::test
