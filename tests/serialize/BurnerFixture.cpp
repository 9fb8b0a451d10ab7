#include "tests/serialize/BurnerFixture.h"

#ifdef _WIN32  // each system sets a child's environment its own way
#include <windows.h>
#endif

namespace velmorin::test {

namespace {
// Sets (or, with nullptr, removes) a variable both for getenv and for the
// children this process starts.
void PutEnv(const std::string& name, const char* value) {
#ifdef _WIN32  // the C run-time keeps a copy of its own beside the process's
  ::_putenv_s(name.c_str(), value != nullptr ? value : "");
  ::SetEnvironmentVariableA(name.c_str(), value);
#else
  if (value != nullptr) {
    ::setenv(name.c_str(), value, 1);
  } else {
    ::unsetenv(name.c_str());
  }
#endif
}
}  // namespace

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : FName(name) {
  if (const char* old = std::getenv(name)) {
    FHadValue = true;
    FOldValue = old;
  }
  PutEnv(FName, value.c_str());
}

ScopedEnv::~ScopedEnv() {
  PutEnv(FName, FHadValue ? FOldValue.c_str() : nullptr);
}

ScopedCurrentPath::ScopedCurrentPath(const std::filesystem::path& folder)
    : FOld(std::filesystem::current_path()) {
  std::filesystem::current_path(folder);
}

ScopedCurrentPath::~ScopedCurrentPath() {
  std::error_code ignored;
  std::filesystem::current_path(FOld, ignored);
}

BurnerLog::BurnerLog(const TempDir& dir)
    : FPath(dir.File("burner.log")), FEnv("VELMORIN_BURNER_LOG", FPath) {}

std::vector<std::vector<std::string>> BurnerLog::Runs() const {
  std::string bytes;
  try {
    bytes = ReadFileBytes(FPath);
  } catch (...) {
    return {};  // no run recorded anything
  }
  std::vector<std::string> fields;
  std::size_t from = 0;
  while (from < bytes.size()) {
    const std::size_t end = bytes.find('\0', from);
    if (end == std::string::npos) break;
    fields.push_back(bytes.substr(from, end - from));
    from = end + 1;
  }
  std::vector<std::vector<std::string>> runs;
  for (std::size_t i = 0; i < fields.size();) {
    const std::size_t count = std::stoul(fields[i++]);
    runs.emplace_back(
        fields.begin() + static_cast<std::ptrdiff_t>(i),
        fields.begin() + static_cast<std::ptrdiff_t>(std::min(i + count, fields.size())));
    i += count;
  }
  return runs;
}

}  // namespace velmorin::test
