// Saving an image when the disk fills up part way, as POSIX's file-size limit
// makes it happen.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "base/Exceptions.h"
#include "image/IntelImage.h"
#include "tests/image/HexTestSupport.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

using test::Lines;
using test::Record;

// The file-size limit makes a write fail part way, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &FSaved);
    FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = FSaved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FSaved);
    std::signal(SIGXFSZ, FOldHandler);
  }

 private:
  rlimit FSaved{};
  void (*FOldHandler)(int) = nullptr;
};

TEST(SaveToFile, FailureHalfWayLeavesTheOldFileAndNoTemporary) {
  test::TempDir dir;
  const std::string target = dir.File("out.hex");
  const std::string old = Lines({Record(0, 0, {1, 2, 3}), ":00000001FF"});
  test::WriteFileBytes(target, old);
  TIntelImage image;
  image.AddrMode = amLinear;
  image.MaxRecLen = 16;
  image.Segments = {{0, test::Pattern(300000, 6)}};
  {
    FileSizeLimit limit(64 * 1024);
    try {
      image.SaveToFile(target);
      ADD_FAILURE() << "written";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), 101);
      EXPECT_EQ(e.Message(), "Disk full");
    }
  }
  EXPECT_EQ(test::ReadFileBytes(target), old);
  EXPECT_EQ(test::EntriesIn(dir.Path()), 1);
}

}  // namespace
}  // namespace velmorin
