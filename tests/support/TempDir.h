// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace velmorin::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  // The full path of `name` inside the folder, with the platform's own
  // separators ("a/b" is "a\\b" on Windows).
  std::string File(const std::string& name) const {
    return (FPath / name).make_preferred().string();
  }

 private:
  std::filesystem::path FPath;
};

// How many entries `folder` holds, for the tests that check nothing was left
// behind (a temporary file, a half-written one).
int EntriesIn(const std::filesystem::path& folder);

// Whole-file helpers for fixtures.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace velmorin::test
