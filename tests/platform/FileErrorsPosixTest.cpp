// errno codes as the operator sees them; FileErrorsWinTest.cpp covers the
// Windows codes.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/files/FileErrors.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

TEST(FileErrors, ErrnoMapsToTheOperatorsCodes) {
  test::TempDir dir;
  const std::string inFolder = dir.File("a.hex");
  const std::string noFolder = dir.File("gone/a.hex");
  struct Case {
    int err;
    std::string path;
    int code;
    const char* message;
  } cases[] = {
      {ENOENT, inFolder, 2, "File not found"},      {ENOENT, noFolder, 3, "Invalid filename"},
      {ENOTDIR, inFolder, 3, "Invalid filename"},   {ENAMETOOLONG, inFolder, 3, "Invalid filename"},
      {EMFILE, inFolder, 4, "Too many open files"}, {ENFILE, inFolder, 4, "Too many open files"},
      {EACCES, inFolder, 5, "File access denied"},  {EPERM, inFolder, 5, "File access denied"},
      {EROFS, inFolder, 5, "File access denied"},   {EISDIR, inFolder, 5, "File access denied"},
      {ENOSPC, inFolder, 101, "Disk full"},         {EDQUOT, inFolder, 101, "Disk full"},
      {EFBIG, inFolder, 101, "Disk full"},          {EIO, inFolder, EIO, "I/O error 5"},
      {EBUSY, inFolder, EBUSY, "I/O error 16"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    EXPECT_EQ(InOutErrorCode(c.err, c.path), c.code);
    try {
      RaiseInOutError(c.err, c.path);
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code);
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

}  // namespace
}  // namespace velmorin
